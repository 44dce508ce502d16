#pragma once

#include "platform/MainThread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

// A main thread without a window system: an event queue that the owning thread pumps.
// The thread that constructs it is the main thread.
class HeadlessMainThread : public MainThread {
public:
    HeadlessMainThread();
    ~HeadlessMainThread() override;

    void Post(std::function<void()> fn) override;
    bool IsCurrent() const override;

    // Runs every queued call; waits up to `wait` for the first one when the queue is empty.
    // Returns how many calls ran. A call that throws passes its exception on; the calls
    // queued behind it stay queued for the next pump.
    int ProcessEvents(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    // Pumps until done() holds or the timeout passes; returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
};

} // namespace platform
