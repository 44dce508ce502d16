#include "platform/Cancel.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <vector>

#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

namespace {
thread_local CancelToken* t_current = nullptr;
// Without an eventfd the flag is checked at least this often.
constexpr std::chrono::nanoseconds kFallbackSlice = std::chrono::milliseconds(20);
} // namespace

CancelToken::CancelToken() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CancelToken::~CancelToken() {
    if (fd_ >= 0)
        ::close(fd_);
}

void CancelToken::Cancel() {
    if (cancelled_.exchange(true, std::memory_order_acq_rel))
        return;
    if (fd_ >= 0) {
        uint64_t one = 1;
        // Cannot fail short of a full counter, which one write never reaches.
        [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
    }
}

CancelToken* CurrentCancelToken() {
    return t_current;
}
void SetCurrentCancelToken(CancelToken* token) {
    t_current = token;
}

int PollCancellable(pollfd* fds, nfds_t count, std::chrono::microseconds timeout) {
    using Clock = std::chrono::steady_clock;
    CancelToken* token = t_current;
    const bool forever = timeout.count() < 0;
    const auto deadline = Clock::now() + (forever ? std::chrono::microseconds(0) : timeout);

    std::vector<pollfd> all(fds, fds + count);
    const bool withFd = token && token->WaitFd() >= 0;
    if (withFd)
        all.push_back(pollfd{token->WaitFd(), POLLIN, 0});
    const bool sliced = token && !withFd;

    for (;;) {
        if (token && token->IsCancelled()) {
            errno = EINTR;
            return -1;
        }
        timespec ts{};
        timespec* wait = nullptr;
        if (!forever || sliced) {
            auto left =
                forever
                    ? kFallbackSlice
                    : std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
            if (left.count() < 0)
                left = std::chrono::nanoseconds(0);
            if (sliced && left > kFallbackSlice)
                left = kFallbackSlice;
            ts.tv_sec = time_t(left.count() / 1000000000);
            ts.tv_nsec = long(left.count() % 1000000000);
            wait = &ts;
        }
        for (auto& p : all)
            p.revents = 0;
        int rc = ::ppoll(all.data(), all.size(), wait, nullptr);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        // The token's descriptor only becomes ready after the flag is set, so once the flag
        // is checked here the count holds the caller's descriptors alone.
        if (token && token->IsCancelled()) {
            errno = EINTR;
            return -1;
        }
        if (rc > 0) {
            for (nfds_t i = 0; i < count; ++i)
                fds[i].revents = all[i].revents;
            return rc;
        }
        if (!forever && Clock::now() >= deadline) {
            for (nfds_t i = 0; i < count; ++i)
                fds[i].revents = 0;
            return 0;
        }
    }
}

} // namespace platform
