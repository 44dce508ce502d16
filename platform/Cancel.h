#pragma once

#include <atomic>
#include <chrono>

#include <poll.h>

namespace platform {

// A one-way switch that ends a thread's blocking waits at once. The thread service gives every
// worker one and makes it the worker's current token, so the socket calls of the WinSock layer
// end as soon as the worker is told to stop.
class CancelToken {
public:
    CancelToken();
    ~CancelToken();
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    // Safe from any thread; repeated calls do nothing more.
    void Cancel();
    bool IsCancelled() const { return cancelled_.load(std::memory_order_acquire); }
    // Readable once cancelled; -1 when no descriptor could be made (waits then poll the flag).
    int WaitFd() const { return fd_; }

private:
    std::atomic<bool> cancelled_{false};
    int fd_ = -1;
};

// The token of the calling thread (null on threads that have none, such as the main thread).
CancelToken* CurrentCancelToken();
void SetCurrentCancelToken(CancelToken* token);

// poll(2) that also ends when the calling thread's token is cancelled: then it returns -1 with
// errno EINTR. A signal interruption is retried with the time left; a negative timeout waits
// without limit.
int PollCancellable(pollfd* fds, nfds_t count, std::chrono::microseconds timeout);

} // namespace platform
