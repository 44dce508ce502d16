// The pacing of a bulk run, on a clock the test moves: one step at a time per server, a bound
// on all, the least interval, and the rests after limit notices that hold no other server.
#include "engine/ServerPacer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ms = ServerPacer::Ms;

struct Fixture {
    ServerPacer::Clock::time_point now{};
    std::vector<std::string> sent;
    ServerPacer pacer;
    Fixture(int inFlight, Ms interval) : pacer(inFlight, interval, [this] { return now; }) {}
    void Ask(const std::string& server, const std::string& step) {
        pacer.Ask(server, [this, step] { sent.push_back(step); });
    }
};

TEST(ServerPacer, OneStepPerServerAndABoundOnAll) {
    Fixture f(2, Ms(0));
    f.Ask("whois.a.test", "a1");
    f.Ask("WHOIS.A.TEST.", "a2"); // the same server
    f.Ask("whois.b.test", "b1");
    f.Ask("whois.c.test", "c1"); // over the bound
    EXPECT_EQ(f.sent, (std::vector<std::string>{"a1", "b1"}));
    EXPECT_FALSE(f.pacer.Free("whois.c.test"));
    f.pacer.Answered("whois.a.test", false);
    f.pacer.Run();
    EXPECT_EQ(f.sent.back(), "a2");
    f.pacer.Answered("whois.b.test", false);
    f.pacer.Run();
    EXPECT_EQ(f.sent, (std::vector<std::string>{"a1", "b1", "a2", "c1"}));
    EXPECT_EQ(f.pacer.InFlight(), 2);
    EXPECT_EQ(f.pacer.Waiting(), 0u);
}

TEST(ServerPacer, TheLeastIntervalBetweenTwoStarts) {
    Fixture f(4, Ms(300));
    f.Ask("whois.a.test", "a1");
    f.pacer.Answered("whois.a.test", false);
    f.Ask("whois.a.test", "a2");
    f.Ask("whois.b.test", "b1");
    EXPECT_EQ(f.sent, (std::vector<std::string>{"a1", "b1"}));
    EXPECT_EQ(f.pacer.Run() - f.now, Ms(300));
    f.now += Ms(299);
    f.pacer.Run();
    EXPECT_EQ(f.sent.size(), 2u);
    f.now += Ms(1);
    f.pacer.Run();
    EXPECT_EQ(f.sent.back(), "a2");
}

// Five answers in a second, then a notice: the server rests 2 s, then takes one step every
// 210 ms; each further notice in a row doubles the rest and halves the pace.
TEST(ServerPacer, ANoticeRestsTheServerAndSlowsItDown) {
    Fixture f(4, Ms(0));
    for (int k = 0; k < 5; ++k) {
        f.Ask("whois.a.test", "a");
        f.now += Ms(10);
        EXPECT_EQ(f.pacer.Answered("whois.a.test", false), Ms(0));
    }
    f.Ask("whois.a.test", "a6");
    EXPECT_EQ(f.pacer.Answered("whois.a.test", true), Ms(2000));
    EXPECT_EQ(f.pacer.Notices(), 1);
    EXPECT_EQ(f.pacer.LongestRest(), std::make_pair(std::string("whois.a.test"), Ms(2000)));
    f.Ask("whois.a.test", "a6 again");
    f.Ask("whois.b.test", "b1"); // another server goes on
    EXPECT_EQ(f.sent.back(), "b1");
    EXPECT_EQ(f.pacer.Run() - f.now, Ms(2000));
    f.now += Ms(2000);
    f.pacer.Run();
    EXPECT_EQ(f.sent.back(), "a6 again");
    f.pacer.Answered("whois.a.test", false);
    f.Ask("whois.a.test", "a7");
    EXPECT_EQ(f.pacer.Run() - f.now, Ms(210));
    f.now += Ms(210);
    f.pacer.Run();
    EXPECT_EQ(f.pacer.Answered("whois.a.test", true), Ms(2000)); // an answer came between
    f.Ask("whois.a.test", "a7 again");
    f.now += Ms(2000);
    f.pacer.Run();
    EXPECT_EQ(f.pacer.Answered("whois.a.test", true), Ms(4000));
    f.Ask("whois.a.test", "a7 once more");
    f.now += Ms(4000);
    f.pacer.Run();
    EXPECT_EQ(f.sent.back(), "a7 once more");
    f.pacer.Answered("whois.a.test", false);
    f.Ask("whois.a.test", "a8");
    // The pace after each notice: 210 ms, then 1.05 s (one answer in the second before),
    // then twice that.
    EXPECT_EQ(f.pacer.Run() - f.now, Ms(2100));
    f.pacer.Drop();
    EXPECT_EQ(f.pacer.Waiting(), 0u);
}

} // namespace
