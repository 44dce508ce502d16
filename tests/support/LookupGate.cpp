#include "tests/support/LookupGate.h"
#include "tests/support/Scratch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

LookupGate::LookupGate() {
    std::string dir;
    if (!MakeScratch(dir, error_))
        return;
    const std::string path = dir + "/hosts";
    if (::mkfifo(path.c_str(), 0644) != 0)
        error_ = std::string("mkfifo: ") + std::strerror(errno);
    else if ((fifo_ = ::open(path.c_str(), O_PATH | O_CLOEXEC)) < 0)
        error_ = std::string("opening the gate: ") + std::strerror(errno);
    else if (::mount(path.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0)
        error_ = std::string("laying the gate over /etc/hosts: ") + std::strerror(errno);
    else
        mounted_ = true;
    DropScratch(dir);
}

LookupGate::~LookupGate() {
    Release();
    if (fifo_ >= 0)
        ::close(fifo_);
}

void LookupGate::Release() {
    if (released_)
        return;
    released_ = true;
    if (mounted_) {
        // New lookups see the private hosts file again at once.
        ::umount2("/etc/hosts", MNT_DETACH);
        mounted_ = false;
    }
    if (fifo_ < 0)
        return;
    // A writer's arrival wakes every reader blocked in open; its close gives them end of file.
    const std::string self = "/proc/self/fd/" + std::to_string(fifo_);
    int fd = ::open(self.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
}

} // namespace testsupport
