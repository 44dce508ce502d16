#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace soak {

// A WHOIS server that lets every connection wait in its accept queue for `delay` before it
// takes it, then reads the request and answers with `answer`. The kernel completes the
// handshake meanwhile, so the client sees a connected socket that stays silent.
class SlowAccept {
public:
    SlowAccept(const std::string& address, uint16_t port, std::chrono::milliseconds delay,
               std::string answer);
    ~SlowAccept();
    SlowAccept(const SlowAccept&) = delete;
    SlowAccept& operator=(const SlowAccept&) = delete;

    bool Listening() const { return listenFd_ >= 0; }
    void Stop();

private:
    void Loop();
    // Waits on fd (or only for the stop pipe when fd < 0) up to `span`; false once stopped.
    bool Wait(int fd, std::chrono::milliseconds span);

    std::chrono::milliseconds delay_;
    std::string answer_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::thread thread_;
};

} // namespace soak
