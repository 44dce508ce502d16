#include "platform/Thread.h"

#include "platform/MainThread.h"
#include "platform/WinSock.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace platform {

namespace {
std::atomic<int> g_live{0};

// Changes of g_live to 0 are made under this lock and announced on `none`. Never destroyed:
// a worker that outlives everything else may still end while the process ends.
struct LiveWait {
    std::mutex lock;
    std::condition_variable none;
};
LiveWait& Live() {
    static LiveWait* wait = new LiveWait;
    return *wait;
}
std::atomic<bool> g_failStart{false};

// OS threads kept for a while after their worker has freed itself, so that the next worker
// does not pay for creating one. Every worker still gets a thread of its own at once: a
// worker is queued only when an idle thread is there to take it.
class ThreadPool {
public:
    void Submit(Thread* worker, void (*run)(Thread*)) {
        if (g_failStart.load())
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                    "no thread");
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(Task{worker, run});
            if (idle_ < queue_.size())
                ++threads_;
            else
                worker = nullptr; // an idle thread takes it
        }
        // Woken and made outside the lock, so the thread does not wake only to wait for it.
        // No wake-up is lost: a thread that stops waiting checks the queue under the lock.
        if (worker == nullptr) {
            ready_.notify_one();
            return;
        }
        try {
            std::thread([this] { Loop(); }).detach();
        } catch (...) {
            std::lock_guard lock(mutex_);
            --threads_;
            // Taken back unless a thread that finished its own task picked it up meanwhile.
            for (auto it = queue_.begin(); it != queue_.end(); ++it)
                if (it->worker == worker) {
                    queue_.erase(it);
                    throw;
                }
        }
    }

    // One idle thread ready before any worker exists.
    void Prestart() {
        {
            std::lock_guard lock(mutex_);
            if (threads_ > 0)
                return;
            ++threads_;
        }
        try {
            std::thread([this] { Loop(); }).detach();
        } catch (...) {
            std::lock_guard lock(mutex_);
            --threads_; // the first worker then makes its own, or reports that it could not
        }
    }

private:
    struct Task {
        Thread* worker;
        void (*run)(Thread*);
    };
    static constexpr auto kKeepIdle = std::chrono::seconds(10);

    void Loop() {
        // The thread's heap is set up now, while nothing waits for it, not in the first
        // worker's step.
        std::free(std::malloc(1));
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            const bool got = ready_.wait_for(lock, kKeepIdle, [this] { return !queue_.empty(); });
            --idle_;
            if (!got) {
                --threads_;
                return;
            }
            Task task = queue_.front();
            queue_.pop_front();
            lock.unlock();
            task.run(task.worker);
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Task> queue_;
    size_t idle_ = 0;
    size_t threads_ = 0; // started and not yet ended
};

// Never destroyed: idle threads may still wait on it while the process ends.
ThreadPool& Pool() {
    static ThreadPool* pool = new ThreadPool;
    return *pool;
}

MainThread& RequireMainThread() {
    MainThread* main = CurrentMainThread();
    if (!main)
        throw std::logic_error("worker threads need an installed main thread");
    return *main;
}
} // namespace

// One hand-off to the main thread. Shared by the worker and the posted call, so either side
// may be gone when the other looks at it.
struct Thread::Call {
    enum State { Pending, Running, Finished, Dropped };
    std::mutex mutex;
    std::condition_variable changed;
    State state = Pending;
    std::function<void()> fn;

    void Set(State s) {
        {
            std::lock_guard lock(mutex);
            state = s;
        }
        changed.notify_all();
    }
};

Thread::Thread(bool createSuspended) {
    MainThread& main = RequireMainThread();
    g_live.fetch_add(1);
    if (!createSuspended)
        main.Post([this] { Launch(); });
}

Thread::~Thread() {
    LiveWait& live = Live();
    std::lock_guard lock(live.lock);
    if (g_live.fetch_sub(1) == 1)
        live.none.notify_all();
}

int Thread::LiveCount() {
    return g_live.load();
}

bool Thread::WaitNoneLive(std::chrono::milliseconds limit) {
    LiveWait& live = Live();
    std::unique_lock lock(live.lock);
    return live.none.wait_for(lock, limit, [] { return g_live.load() == 0; });
}

void Thread::Prestart() {
    Pool().Prestart();
}

void Thread::InjectStartFailure(bool fail) {
    g_failStart.store(fail);
}

void Thread::Start() {
    if (!RequireMainThread().IsCurrent())
        throw std::logic_error("Thread::Start runs on the main thread");
    Launch();
}

void Thread::Launch() {
    // Runs on the main thread, as does Terminate, so the flag cannot change underneath.
    if (started_.exchange(true))
        return;
    if (Terminated()) {
        delete this; // ended before it began: nothing to report
        return;
    }
    std::exception_ptr error;
    try {
        Pool().Submit(this, [](Thread* worker) { worker->Run(); });
        return;
    } catch (...) {
        error = std::current_exception();
    }
    // No thread to run the body: the step is reported as failed from here (Synchronize runs
    // its calls at once on the main thread), so its operation still ends.
    try {
        Failed(true, error);
    } catch (...) {
    }
    Finish();
    delete this;
}

void Thread::Finish() {
    if (!Terminated() && WantsEndNotification())
        Post([this] { RaiseEndNotification(); });
}

void Thread::Run() {
    // A kept thread starts each worker as a new thread would: its own token, no stale error.
    SetCurrentCancelToken(&token_);
    winsock::WSASetLastError(0);
    if (!Terminated()) {
        // A worker body must not take the process down, nor end without a word: its failure
        // is reported like any failed step.
        std::exception_ptr error;
        try {
            Execute();
        } catch (...) {
            error = std::current_exception();
        }
        if (error && !Terminated()) {
            try {
                Failed(false, error);
            } catch (...) {
            }
        }
    }
    Finish();
    SetCurrentCancelToken(nullptr);
    bool free;
    {
        // mutex_ is a barrier too: a Terminate still reaching into the worker holds it, and
        // the last posted call takes it before it frees the worker.
        std::lock_guard barrier(mutex_);
        bodyDone_ = true;
        free = posted_ == 0;
    }
    // Otherwise the last posted call frees it, on the main thread; this thread must not touch
    // the worker again.
    if (free)
        delete this;
}

void Thread::Terminate() {
    // Held throughout, and taken by Run before the worker frees itself, so a worker that sees
    // the flag and ends cannot be freed while this is still reaching into it.
    std::lock_guard lock(mutex_);
    terminated_.store(true, std::memory_order_release);
    token_.Cancel();
    if (pending_) {
        std::lock_guard callLock(pending_->mutex);
        if (pending_->state == Call::Pending) {
            pending_->state = Call::Dropped;
            pending_->changed.notify_all();
        }
    }
}

bool Thread::Synchronize(std::function<void()> fn) {
    if (OnMainThread()) {
        if (Terminated())
            return false;
        fn();
        return true;
    }
    auto call = std::make_shared<Call>();
    call->fn = std::move(fn);
    {
        std::lock_guard lock(mutex_);
        if (Terminated())
            return false;
        pending_ = call;
    }
    // Through the locked hand-off: the service may be going away at exit. Without one (the
    // program is ending) there is nobody to report to.
    const bool posted = PostToMainThread([call] {
        {
            std::lock_guard lock(call->mutex);
            if (call->state != Call::Pending)
                return;
            call->state = Call::Running;
        }
        struct Done {
            Call& c;
            ~Done() { c.Set(Call::Finished); }
        } done{*call};
        call->fn();
    });
    if (!posted) {
        std::lock_guard own(mutex_);
        pending_.reset();
        return false;
    }
    std::unique_lock lock(call->mutex);
    call->changed.wait(
        lock, [&] { return call->state == Call::Finished || call->state == Call::Dropped; });
    const bool ran = call->state == Call::Finished;
    lock.unlock();
    {
        std::lock_guard own(mutex_);
        pending_.reset();
    }
    return ran;
}

void Thread::Post(std::function<void()> fn) {
    if (OnMainThread()) {
        if (!Terminated())
            fn();
        return;
    }
    // Settles the call once, whoever lets go of it last: the main thread after running or
    // dropping it, the service that is destroyed with it queued, or this function when it
    // could not be queued.
    struct Ticket {
        explicit Ticket(Thread* w) : worker(w) {}
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;
        ~Ticket() { worker->PostSettled(); }
        Thread* worker;
    };
    // Declared before the lock, so that a call that could not be queued settles only after
    // the lock is released.
    std::shared_ptr<Ticket> ticket;
    // Queued under mutex_, so a Terminate on the main thread comes wholly before the call is
    // queued (and refuses it) or after (and the call, once pumped, drops itself).
    std::lock_guard lock(mutex_);
    if (Terminated())
        return;
    ++posted_;
    ticket = std::make_shared<Ticket>(this);
    PostToMainThread([ticket, fn = std::move(fn)] {
        // Terminate runs on the main thread as well, so the flag cannot change underneath.
        if (!ticket->worker->Terminated())
            fn();
    });
}

void Thread::PostSettled() {
    bool free;
    {
        std::lock_guard lock(mutex_);
        free = --posted_ == 0 && bodyDone_;
    }
    if (free)
        delete this;
}

} // namespace platform
