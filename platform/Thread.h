#pragma once

#include "platform/Cancel.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {

// A worker thread that frees itself. Create it with `new` on the main thread; it runs Execute
// on its own thread, then (unless terminated) runs OnTerminate on the main thread and deletes
// itself. Nobody else deletes it. The OS thread underneath is kept for a few seconds after
// the worker has gone and serves the next worker, which saves the cost of a new thread per
// network step; each worker still runs at once on a thread of its own.
//
// Start: a worker created with createSuspended == false begins once the main thread has
// finished the step that created it (the start is posted to the main thread), so everything
// the creator sets right after construction is in place before Execute runs. Start() begins
// it earlier; a suspended worker begins only through Start().
//
// Terminate (main thread only) ends the worker at once: its blocking socket waits end (its
// CancelToken), a Synchronize or Post call that has not begun is dropped, later ones are
// refused, and OnTerminate is not raised. A call that is already running on the main thread
// finishes first. A worker stuck in a call that cannot be interrupted (a name lookup) finishes it
// in the background and then frees itself without reporting.
class Thread {
public:
    explicit Thread(bool createSuspended);
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    void Start();
    void Terminate();
    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
    // The flag Terminate sets, for blocking calls of other libraries that poll one.
    const std::atomic<bool>& TerminatedFlag() const { return terminated_; }

    // The end notification, run on the main thread after Execute when not terminated.
    std::function<void(Thread*)> OnTerminate;

    // Workers constructed and not yet freed, process-wide (tests wait for 0).
    static int LiveCount();
    // Blocks until LiveCount is 0 or `limit` has passed; true when it is 0. Woken by the last
    // worker's end, so a program's exit waits no longer than its workers. Workers that still
    // need the main thread (a hand-off, a start not yet run) are not served meanwhile.
    static bool WaitNoneLive(std::chrono::milliseconds limit);
    // Starts one OS thread for the first worker unless the pool has one already, so that its
    // creation overlaps the caller's own start-up work (a one-shot command's file reading).
    static void Prestart();
    // Test hook: while set, no thread can be had for a worker (as when the system has none).
    static void InjectStartFailure(bool fail);

protected:
    virtual void Execute() = 0;
    // Runs fn on the main thread and waits until it has run. Returns false, without running
    // it, when the worker is or becomes terminated before the main thread reaches the call.
    bool Synchronize(std::function<void()> fn);
    // Runs fn on the main thread later, in order with the worker's other hand-offs, and goes
    // on at once: a hand-off that nobody has to wait for. Dropped, without running, when the
    // worker is terminated before the main thread reaches it. The worker is freed only after
    // its last posted call, so fn may read members that the body no longer changes.
    void Post(std::function<void()> fn);
    // The body could not run to its end: no thread could be had for it (then this runs on the
    // main thread), or it threw. A worker reports its step as failed here, so the operation
    // waiting for it ends; the end notification follows as after a normal end. `error` is
    // what was thrown (by the body, or by the attempt to get a thread when `noThread`).
    virtual void Failed(bool noThread, std::exception_ptr error) {
        (void)noThread;
        (void)error;
    }
    // The end notification; by default OnTerminate. Overridden by workers with their own.
    virtual bool WantsEndNotification() const { return bool(OnTerminate); }
    virtual void RaiseEndNotification() { OnTerminate(this); }

private:
    struct Call;
    void Run();
    void Launch();
    void Finish();      // end notification, unless terminated
    void PostSettled(); // one posted call has run or been dropped

    std::atomic<bool> terminated_{false};
    std::atomic<bool> started_{false};
    CancelToken token_;
    std::mutex mutex_;
    std::shared_ptr<Call> pending_; // the Synchronize call being waited for
    // Under mutex_: posted calls not yet run or dropped, and whether the body has ended. The
    // last of the two to settle frees the worker.
    int posted_ = 0;
    bool bodyDone_ = false;
};

} // namespace platform
