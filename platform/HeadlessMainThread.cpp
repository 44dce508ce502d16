#include "platform/HeadlessMainThread.h"

#include <atomic>
#include <iterator>

namespace platform {

namespace {
std::atomic<MainThread*> g_mainThread{nullptr};
// Held by every worker's use of the service and by (un)installing it.
std::mutex g_installLock;
} // namespace

void InstallMainThread(MainThread* mainThread) {
    std::lock_guard lock(g_installLock);
    g_mainThread.store(mainThread);
}
MainThread* CurrentMainThread() {
    return g_mainThread.load();
}
void UninstallMainThread(MainThread* mainThread) {
    std::lock_guard lock(g_installLock);
    MainThread* expected = mainThread;
    g_mainThread.compare_exchange_strong(expected, nullptr);
}

bool PostToMainThread(std::function<void()> fn) {
    std::lock_guard lock(g_installLock);
    MainThread* main = g_mainThread.load();
    if (!main)
        return false;
    main->Post(std::move(fn));
    return true;
}

bool OnMainThread() {
    std::lock_guard lock(g_installLock);
    MainThread* main = g_mainThread.load();
    return main && main->IsCurrent();
}

HeadlessMainThread::HeadlessMainThread() : owner_(std::this_thread::get_id()) {}

HeadlessMainThread::~HeadlessMainThread() {
    UninstallMainThread(this);
}

void HeadlessMainThread::Post(std::function<void()> fn) {
    // Notified under the lock: once the call is queued the main thread may run it and
    // destroy this object, so the poster must not touch it after releasing the lock.
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
    ready_.notify_one();
}

bool HeadlessMainThread::IsCurrent() const {
    return std::this_thread::get_id() == owner_;
}

int HeadlessMainThread::ProcessEvents(std::chrono::milliseconds wait) {
    std::deque<std::function<void()>> batch;
    {
        std::unique_lock lock(mutex_);
        if (queue_.empty() && wait.count() > 0)
            ready_.wait_for(lock, wait, [this] { return !queue_.empty(); });
        batch.swap(queue_);
    }
    int ran = 0;
    while (!batch.empty()) {
        std::function<void()> fn = std::move(batch.front());
        batch.pop_front();
        try {
            fn();
        } catch (...) {
            // A throwing handler must not take the calls behind it along: a worker's start or
            // a worker waiting for its hand-off would be lost. They run on the next pump.
            std::lock_guard lock(mutex_);
            queue_.insert(queue_.begin(), std::make_move_iterator(batch.begin()),
                          std::make_move_iterator(batch.end()));
            throw;
        }
        ++ran;
    }
    return ran;
}

bool HeadlessMainThread::RunUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return done();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        ProcessEvents(std::min(left, std::chrono::milliseconds(10)));
    }
    return true;
}

} // namespace platform
