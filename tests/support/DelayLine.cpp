#include "tests/support/DelayLine.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <vector>

#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

struct Held {
    Clock::time_point due;
    std::vector<char> bytes;
};

} // namespace

int DelayLine::OpenTun(const char* name) {
    const int fd = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    ifreq req{};
    req.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(req.ifr_name, name, IFNAMSIZ - 1);
    if (::ioctl(fd, TUNSETIFF, &req) < 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

DelayLine::DelayLine(int fdA, int fdB, std::chrono::microseconds oneWay)
    : fds_{fdA, fdB}, oneWay_(oneWay) {
    if (::pipe2(wake_, O_CLOEXEC) != 0)
        wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this] { Run(); });
}

DelayLine::~DelayLine() {
    if (wake_[1] >= 0)
        (void)!::write(wake_[1], "x", 1);
    thread_.join();
    for (int fd : {fds_[0], fds_[1], wake_[0], wake_[1]})
        if (fd >= 0)
            ::close(fd);
}

void DelayLine::Run() {
    // A busy machine would otherwise wake the line late and smear its delay; refused
    // without the rights, and then the line runs as it is.
    sched_param priority{};
    priority.sched_priority = 10;
    ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority);
    // queue[i] holds what was read from side i, to be written to the other side.
    std::deque<Held> queue[2];
    std::vector<char> buffer(65536);
    for (;;) {
        int timeout = -1;
        const auto now = Clock::now();
        for (const auto& q : queue)
            if (!q.empty()) {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(q.front().due - now);
                const int ms = wait.count() < 0 ? 0 : int(wait.count());
                timeout = timeout < 0 ? ms : std::min(timeout, ms);
            }
        pollfd p[3] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}, {wake_[0], POLLIN, 0}};
        // Millisecond polls would add up to a millisecond; the last stretch is slept exactly.
        if (timeout == 0 || timeout == 1) {
            Clock::time_point due = Clock::time_point::max();
            for (const auto& q : queue)
                if (!q.empty())
                    due = std::min(due, q.front().due);
            std::this_thread::sleep_until(due);
            timeout = 0;
        }
        if (::poll(p, 3, timeout) < 0 && errno != EINTR)
            return;
        if (p[2].revents)
            return;
        for (int side = 0; side < 2; ++side) {
            if (!(p[side].revents & POLLIN))
                continue;
            for (;;) {
                const ssize_t n = ::read(fds_[side], buffer.data(), buffer.size());
                if (n <= 0)
                    break;
                queue[side].push_back({Clock::now() + oneWay_,
                                       std::vector<char>(buffer.begin(), buffer.begin() + n)});
            }
        }
        const auto at = Clock::now();
        for (int side = 0; side < 2; ++side)
            while (!queue[side].empty() && queue[side].front().due <= at) {
                const auto& bytes = queue[side].front().bytes;
                (void)!::write(fds_[1 - side], bytes.data(), bytes.size());
                queue[side].pop_front();
            }
    }
}

} // namespace testsupport
