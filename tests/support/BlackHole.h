#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

// An address and port where connect() never completes: a listener whose accept queue is
// already full, so the kernel drops every further SYN and the client keeps retrying. This is
// what a silent, firewalled host looks like to a client, made from loopback alone.
class BlackHole {
public:
    BlackHole(const std::string& address, uint16_t port);
    ~BlackHole();
    BlackHole(const BlackHole&) = delete;
    BlackHole& operator=(const BlackHole&) = delete;

    bool Ready() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

private:
    int listenFd_ = -1;
    int fillerFd_ = -1;
    std::string error_;
};

} // namespace testsupport
