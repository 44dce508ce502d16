#pragma once

#include <string>

namespace testsupport {

// Holds every name and address lookup of the process inside the resolver until Release (or
// destruction): a FIFO is laid over the private hosts file, so the resolver's open of it
// blocks. This is how a test gets a lookup that is really outstanding in the resolver.
// Use only inside the network sandbox, and only while no other lookup is wanted.
class LookupGate {
public:
    LookupGate();
    ~LookupGate();
    LookupGate(const LookupGate&) = delete;
    LookupGate& operator=(const LookupGate&) = delete;

    bool Closed() const { return error_.empty() && !released_; }
    const std::string& Error() const { return error_; }

    // Lets held lookups go on (they find an empty hosts file, so they fail) and restores the
    // private hosts file for later lookups.
    void Release();

private:
    int fifo_ = -1; // an O_PATH handle: reopened to wake the held lookups
    std::string error_;
    bool mounted_ = false;
    bool released_ = false;
};

} // namespace testsupport
