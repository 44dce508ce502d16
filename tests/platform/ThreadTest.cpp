// The worker thread service: start order, hand-off to the main thread, self-freeing, and
// ending workers at once.
#include "platform/Thread.h"
#include "platform/HeadlessMainThread.h"
#include "platform/WinSock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A worker whose body is given by the test; it counts what happened in shared counters that
// outlive it (the worker frees itself).
struct Probe {
    std::atomic<int> bodies{0};
    std::atomic<int> handlers{0};
    std::atomic<int> ends{0};
    std::atomic<bool> handlerOnMain{true};
    std::atomic<bool> synchronizeResult{true};
    // Failed: how often, whether for want of a thread, on which thread, and before the end.
    std::atomic<int> failures{0};
    std::atomic<bool> failedForNoThread{false};
    std::atomic<bool> failedOnMain{false};
    std::atomic<bool> failedBeforeEnd{false};
    std::string failure;
};

class TestWorker : public platform::Thread {
public:
    TestWorker(Probe& probe, bool suspended, std::function<void(TestWorker&)> body)
        : platform::Thread(suspended), probe_(probe), body_(std::move(body)) {}

    // Visible to the body.
    bool Hand(std::function<void()> fn) {
        bool ran = Synchronize(std::move(fn));
        probe_.synchronizeResult = ran;
        return ran;
    }
    void Send(std::function<void()> fn) { Post(std::move(fn)); }
    int seenValue = 0; // set by the creator after construction
    std::atomic<int>* seenBy = nullptr;

protected:
    void Execute() override {
        ++probe_.bodies;
        if (seenBy)
            seenBy->store(seenValue);
        body_(*this);
    }
    void Failed(bool noThread, std::exception_ptr error) override {
        ++probe_.failures;
        probe_.failedForNoThread = noThread;
        probe_.failedBeforeEnd = probe_.ends == 0;
        Synchronize([this] { probe_.failedOnMain = true; });
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            probe_.failure = e.what();
        }
    }

private:
    Probe& probe_;
    std::function<void(TestWorker&)> body_;
};

class ThreadService : public ::testing::Test {
protected:
    void SetUp() override {
        platform::InstallMainThread(&main_);
        baseline_ = platform::Thread::LiveCount();
    }
    void TearDown() override {
        // Every worker must have freed itself.
        EXPECT_TRUE(main_.RunUntil([&] { return platform::Thread::LiveCount() == baseline_; }, 3s));
        platform::InstallMainThread(nullptr);
    }
    bool AllFreed(std::chrono::milliseconds timeout = 3s) {
        return main_.RunUntil([&] { return platform::Thread::LiveCount() == baseline_; }, timeout);
    }
    TestWorker* Make(Probe& probe, std::function<void(TestWorker&)> body, bool suspended = false) {
        auto* w = new TestWorker(probe, suspended, std::move(body));
        w->OnTerminate = [&probe, this](platform::Thread*) {
            ++probe.ends;
            if (!main_.IsCurrent())
                probe.handlerOnMain = false;
        };
        return w;
    }

    platform::HeadlessMainThread main_;
    int baseline_ = 0;
};

TEST_F(ThreadService, BodyBeginsOnlyAfterTheCreatingStepAndHandsResultsToTheMainThread) {
    Probe probe;
    std::atomic<int> seen{-1};
    std::vector<int> order;
    auto* w = Make(probe, [&](TestWorker& self) {
        for (int i = 0; i < 3; ++i)
            self.Hand([&, i] {
                order.push_back(i);
                ++probe.handlers;
                if (!main_.IsCurrent())
                    probe.handlerOnMain = false;
            });
    });
    // Set after construction: the body must still see it.
    w->seenValue = 42;
    w->seenBy = &seen;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(probe.bodies, 0) << "began before the main thread finished the creating step";
    ASSERT_TRUE(AllFreed());
    EXPECT_EQ(seen, 42);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(probe.ends, 1);
    EXPECT_TRUE(probe.handlerOnMain);
    EXPECT_TRUE(probe.synchronizeResult);
}

TEST_F(ThreadService, SuspendedWorkerWaitsForStart) {
    Probe probe;
    auto* w = Make(
        probe, [](TestWorker&) {}, true);
    main_.ProcessEvents(50ms);
    EXPECT_EQ(probe.bodies, 0);
    w->Start();
    w->Start(); // a second start does nothing
    ASSERT_TRUE(AllFreed());
    EXPECT_EQ(probe.bodies, 1);
    EXPECT_EQ(probe.ends, 1);
}

TEST_F(ThreadService, TerminatedBeforeItBeganNeverRuns) {
    Probe probe;
    auto* w = Make(probe, [](TestWorker&) {});
    w->Terminate();
    ASSERT_TRUE(AllFreed());
    EXPECT_EQ(probe.bodies, 0);
    EXPECT_EQ(probe.ends, 0);
}

TEST_F(ThreadService, TerminateDropsAPendingHandOffAndTheEndNotification) {
    Probe probe;
    std::atomic<bool> posting{false};
    auto* w = Make(
        probe,
        [&](TestWorker& self) {
            posting = true;
            self.Hand([&] { ++probe.handlers; });
            self.Hand([&] { ++probe.handlers; });
        },
        true);
    w->Start(); // begins without the main thread being pumped
    while (!posting)
        std::this_thread::yield();
    std::this_thread::sleep_for(20ms); // the hand-off is queued, not yet run
    w->Terminate();
    ASSERT_TRUE(AllFreed());
    EXPECT_EQ(probe.handlers, 0);
    EXPECT_EQ(probe.ends, 0);
    EXPECT_FALSE(probe.synchronizeResult);
}

// One-way hand-offs: the body ends without the main thread, the calls run in order with the
// end notification after them, the worker lives until they have run, and Terminate drops the
// queued ones yet still frees the worker.
TEST_F(ThreadService, PostedCallsRunInOrderLaterOrNotAtAllAfterTerminate) {
    for (const bool stop : {false, true}) {
        Probe probe;
        std::vector<int> ran;
        std::atomic<bool> bodyEnded{false};
        auto* w = Make(
            probe,
            [&](TestWorker& self) {
                for (int i = 0; i < 3; ++i)
                    self.Send([&ran, i] { ran.push_back(i); });
                bodyEnded = true;
            },
            true);
        const int live = platform::Thread::LiveCount();
        w->Start();
        // Nothing pumps the main thread meanwhile: the body does not wait for it.
        for (const auto deadline = Clock::now() + 3s; !bodyEnded && Clock::now() < deadline;)
            std::this_thread::yield();
        ASSERT_TRUE(bodyEnded);
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(platform::Thread::LiveCount(), live) << "freed before its calls ran";
        if (stop)
            w->Terminate();
        ASSERT_TRUE(AllFreed());
        EXPECT_EQ(ran, (stop ? std::vector<int>{} : std::vector<int>{0, 1, 2}));
        EXPECT_EQ(probe.ends, stop ? 0 : 1);
    }
}

TEST_F(ThreadService, TerminateFromInsideARunningHandOffLetsItFinish) {
    Probe probe;
    TestWorker* worker = nullptr;
    std::atomic<int> after{0};
    worker = Make(probe, [&](TestWorker& self) {
        self.Hand([&] {
            worker->Terminate(); // the handler stops everything, as a stop command would
            std::this_thread::sleep_for(20ms);
            ++probe.handlers; // still running on a live worker
        });
        if (self.Hand([&] { ++after; }))
            ++after;
    });
    ASSERT_TRUE(AllFreed());
    EXPECT_EQ(probe.handlers, 1);
    EXPECT_TRUE(probe.synchronizeResult == false);
    EXPECT_EQ(after, 0);
    EXPECT_EQ(probe.ends, 0);
}

TEST_F(ThreadService, TerminateEndsABlockedReceiveAtOnce) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    Probe probe;
    std::atomic<int> result{0}, error{0};
    std::atomic<bool> entered{false};
    auto* w = Make(probe, [&](TestWorker&) {
        entered = true;
        char buffer[16];
        result = winsock::recv(fds[0], buffer, sizeof buffer, 0);
        error = winsock::WSAGetLastError();
    });
    ASSERT_TRUE(main_.RunUntil([&] { return entered.load(); }, 3s));
    std::this_thread::sleep_for(50ms);
    auto start = Clock::now();
    w->Terminate();
    ASSERT_TRUE(AllFreed(1s));
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_EQ(result, winsock::SOCKET_ERROR);
    EXPECT_EQ(error, winsock::WSAEINTR);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(ThreadService, EveryWorkerGetsAThreadOfItsOwnAtOnce) {
    // Blocked workers must not hold up the ones after them, whether threads are new or kept
    // from earlier workers.
    Probe warmUp;
    for (int i = 0; i < 3; ++i)
        Make(warmUp, [](TestWorker&) {});
    ASSERT_TRUE(AllFreed());

    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    constexpr int kWorkers = 6;
    Probe probe;
    std::atomic<int> blocked{0};
    std::vector<TestWorker*> workers;
    for (int i = 0; i < kWorkers; ++i)
        workers.push_back(Make(probe, [&](TestWorker&) {
            ++blocked;
            char buffer[4];
            winsock::recv(fds[0], buffer, sizeof buffer, 0); // never answered
        }));
    EXPECT_TRUE(main_.RunUntil([&] { return blocked == kWorkers; }, 3s))
        << blocked << " of " << kWorkers << " workers got going";
    for (TestWorker* w : workers)
        w->Terminate();
    ASSERT_TRUE(AllFreed(1s));
    EXPECT_EQ(probe.ends, 0);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(ThreadService, ThrowingBodyStillFreesTheWorker) {
    Probe probe;
    Make(probe, [](TestWorker&) { throw std::runtime_error("body failed"); });
    ASSERT_TRUE(AllFreed());
    EXPECT_EQ(probe.bodies, 1);
    EXPECT_EQ(probe.ends, 1);
    // The failure is reported, with what was thrown, before the end notification.
    EXPECT_EQ(probe.failures, 1);
    EXPECT_FALSE(probe.failedForNoThread);
    EXPECT_TRUE(probe.failedOnMain);
    EXPECT_TRUE(probe.failedBeforeEnd);
    EXPECT_EQ(probe.failure, "body failed");
}

TEST_F(ThreadService, WorkerWithoutAThreadReportsItsFailureAndEnds) {
    Probe probe, normal;
    platform::Thread::InjectStartFailure(true);
    Make(probe, [](TestWorker&) {});
    const bool freed = AllFreed();
    platform::Thread::InjectStartFailure(false);
    ASSERT_TRUE(freed);
    EXPECT_EQ(probe.bodies, 0);
    EXPECT_EQ(probe.failures, 1);
    EXPECT_TRUE(probe.failedForNoThread);
    EXPECT_TRUE(probe.failedOnMain);
    EXPECT_TRUE(probe.failedBeforeEnd);
    EXPECT_EQ(probe.ends, 1);
    // A worker ended before it had its thread reports nothing at all.
    platform::Thread::InjectStartFailure(true);
    Make(probe, [](TestWorker&) {})->Terminate();
    const bool quiet = AllFreed();
    platform::Thread::InjectStartFailure(false);
    ASSERT_TRUE(quiet);
    EXPECT_EQ(probe.failures, 1);
    EXPECT_EQ(probe.ends, 1);
    // And the next worker gets its thread as usual.
    Make(normal, [](TestWorker&) {});
    ASSERT_TRUE(AllFreed());
    EXPECT_EQ(normal.bodies, 1);
    EXPECT_EQ(normal.failures, 0);
}

TEST_F(ThreadService, ThrowingHandOffDoesNotLeaveTheWorkerWaiting) {
    Probe probe;
    Make(probe,
         [&](TestWorker& self) { self.Hand([] { throw std::runtime_error("handler failed"); }); });
    // The exception surfaces on the main thread, as a handler's error does.
    EXPECT_THROW(main_.RunUntil([&] { return platform::Thread::LiveCount() == baseline_; }, 3s),
                 std::runtime_error);
    ASSERT_TRUE(AllFreed());
}

// The exit's wait: it ends with the last worker, not at its limit, and not before.
TEST_F(ThreadService, WaitNoneLiveEndsWithTheLastWorker) {
    const std::pair<std::chrono::milliseconds, bool> rows[] = {{20ms, false}, {5s, true}};
    for (const auto& [limit, none] : rows) {
        Probe probe;
        new TestWorker(probe, false, [](TestWorker&) { std::this_thread::sleep_for(500ms); });
        main_.ProcessEvents(); // its start
        const auto start = Clock::now();
        EXPECT_EQ(platform::Thread::WaitNoneLive(limit), none) << limit.count();
        EXPECT_EQ(platform::Thread::LiveCount(), none ? 0 : 1) << limit.count();
        EXPECT_LT(Clock::now() - start, 3s) << limit.count(); // never the whole limit
        ASSERT_TRUE(AllFreed());
    }
}

} // namespace
