// The headless main loop: posting order, and calls that survive a throwing handler.
#include "platform/HeadlessMainThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(HeadlessMainThread, RunsCallsInPostingOrderOnItsOwnThread) {
    platform::HeadlessMainThread main;
    std::string order;
    bool onMain = true;
    std::thread poster([&] {
        main.Post([&] {
            order += 'a';
            onMain = onMain && main.IsCurrent();
        });
        main.Post([&] { order += 'b'; });
    });
    poster.join();
    main.Post([&] { order += 'c'; });
    EXPECT_EQ(main.ProcessEvents(), 3);
    EXPECT_EQ(order, "abc");
    EXPECT_TRUE(onMain);
    EXPECT_EQ(main.ProcessEvents(), 0);
}

TEST(HeadlessMainThread, ThrowingCallKeepsTheCallsBehindItQueued) {
    platform::HeadlessMainThread main;
    std::string order;
    main.Post([&] { order += 'a'; });
    main.Post([] { throw std::runtime_error("handler failed"); });
    main.Post([&] { order += 'b'; });
    main.Post([&] { order += 'c'; });
    EXPECT_THROW(main.ProcessEvents(), std::runtime_error);
    EXPECT_EQ(order, "a");
    // A call posted meanwhile comes after the ones that were already waiting.
    main.Post([&] { order += 'd'; });
    EXPECT_EQ(main.ProcessEvents(), 3);
    EXPECT_EQ(order, "abcd");
}

TEST(HeadlessMainThread, RunUntilWaitsForAPostFromAnotherThread) {
    platform::HeadlessMainThread main;
    bool done = false;
    std::thread poster([&] {
        std::this_thread::sleep_for(20ms);
        main.Post([&] { done = true; });
    });
    EXPECT_TRUE(main.RunUntil([&] { return done; }, 5s));
    poster.join();
    EXPECT_FALSE(main.RunUntil([] { return false; }, 20ms));
}

} // namespace
