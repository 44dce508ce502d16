#include "platform/qt/QtMainThread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Pumps the Qt event loop until done() holds or two seconds pass.
template <typename Pred> bool PumpUntil(Pred done) {
    QDeadlineTimer deadline(2000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(QtMainThread, CallsPostedFromAWorkerRunOnTheGuiThreadInOrder) {
    platform::QtMainThread main;
    std::vector<int> ran;
    std::atomic<bool> wrongThread{false};
    QThread* gui = QThread::currentThread();

    std::thread worker([&] {
        EXPECT_FALSE(main.IsCurrent());
        for (int i = 0; i < 200; ++i)
            main.Post([&, i] {
                if (QThread::currentThread() != gui || !main.IsCurrent())
                    wrongThread = true;
                ran.push_back(i);
            });
    });
    worker.join();
    // Nothing runs before the event loop does.
    EXPECT_TRUE(ran.empty());
    ASSERT_TRUE(PumpUntil([&] { return ran.size() == 200; }));
    EXPECT_FALSE(wrongThread);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(ran[i], i);
}

TEST(QtMainThread, ManyWorkersEachKeepTheirOwnOrder) {
    platform::QtMainThread main;
    std::vector<std::pair<int, int>> ran;
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < 100; ++i)
                main.Post([&, w, i] { ran.emplace_back(w, i); });
        });
    for (auto& t : workers)
        t.join();
    ASSERT_TRUE(PumpUntil([&] { return ran.size() == 400; }));
    int next[4] = {0, 0, 0, 0};
    for (auto [w, i] : ran) {
        ASSERT_EQ(i, next[w]) << "worker " << w;
        ++next[w];
    }
}

TEST(QtMainThread, AWorkerCanWaitForItsHandOff) {
    // The engine's "run and wait": the worker blocks until the GUI thread has run its call.
    platform::QtMainThread main;
    std::atomic<bool> handled{false};
    std::atomic<bool> workerSawIt{false};
    std::thread worker([&] {
        std::atomic<bool> done{false};
        main.Post([&] {
            handled = true;
            done = true;
            done.notify_one();
        });
        done.wait(false);
        workerSawIt = handled.load();
    });
    ASSERT_TRUE(PumpUntil([&] { return handled.load(); }));
    worker.join();
    EXPECT_TRUE(workerSawIt);
}

TEST(QtMainThread, AnErrorInACallReachesTheHandlerAndLaterCallsStillRun) {
    platform::QtMainThread main;
    std::string caught;
    main.SetErrorHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            caught = ex.what();
        }
    });
    bool later = false;
    main.Post([] { throw std::runtime_error("boom"); });
    main.Post([&] { later = true; });
    ASSERT_TRUE(PumpUntil([&] { return later; }));
    EXPECT_EQ(caught, "boom");
}

TEST(QtMainThread, InstallAndDestroyLeaveNoDanglingService) {
    bool ran = false;
    {
        platform::QtMainThread main;
        platform::InstallMainThread(&main);
        EXPECT_EQ(platform::CurrentMainThread(), &main);
        main.Post([&] { ran = true; });
    }
    EXPECT_EQ(platform::CurrentMainThread(), nullptr);
    // The call posted before destruction is discarded, not run against a dead object.
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

} // namespace
