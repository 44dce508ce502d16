// The pacing of a bulk run, on a clock the test moves: one step at a time per server, a bound
// on all, the least interval, and the rests after limit notices that hold no other server.
#include "engine/ServerPacer.h"

#include <gtest/gtest.h>

namespace {

using Ms = ServerPacer::Ms;

struct Pacer {
    ServerPacer::Clock::time_point now{};
    std::vector<std::string> sent;
    ServerPacer pacer;
    Pacer(int inFlight, Ms interval) : pacer(inFlight, interval, [this] { return now; }) {}
    void Ask(const std::string& server, const std::string& step) {
        pacer.Ask(server, [this, step] { sent.push_back(step); });
    }
    // How long until the next waiting step may go.
    Ms Next() { return std::chrono::duration_cast<Ms>(pacer.Run() - now); }
};

TEST(ServerPacer, OneStepPerServerABoundOnAllAndTheLeastInterval) {
    Pacer p(2, Ms(300));
    p.Ask("whois.a.test", "a1");
    p.Ask("WHOIS.A.TEST.", "a2"); // the same server
    p.Ask("whois.b.test", "b1");
    p.Ask("whois.c.test", "c1"); // over the bound
    EXPECT_EQ(p.sent, (std::vector<std::string>{"a1", "b1"}));
    EXPECT_FALSE(p.pacer.Free("whois.c.test"));
    p.pacer.Answered("whois.a.test", false);
    EXPECT_EQ(p.Next(), Ms(300)); // a2 waits for a's interval, c1 goes
    EXPECT_EQ(p.sent.back(), "c1");
    p.now += Ms(300);
    p.pacer.Answered("whois.b.test", false);
    p.pacer.Run();
    EXPECT_EQ(p.sent, (std::vector<std::string>{"a1", "b1", "c1", "a2"}));
}

// Five answers in a second, then a notice: a rest of 2 s, then a step every 210 ms (1.05 s
// over five); one answer in the second before the next: 1.05 s, halved at each notice more.
TEST(ServerPacer, ANoticeRestsTheServerAndSlowsItDown) {
    Pacer p(4, Ms(0));
    auto step = [&p](Ms wait, bool limited) {
        p.Ask("whois.a.test", "a");
        p.now += wait;
        p.pacer.Run();
        return p.pacer.Answered("whois.a.test", limited);
    };
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(step(Ms(10), false), Ms(0));
    EXPECT_EQ(step(Ms(0), true), Ms(2000));
    EXPECT_EQ(p.pacer.LongestRest(), std::make_pair(std::string("whois.a.test"), Ms(2000)));
    p.Ask("whois.a.test", "a6 again");
    p.Ask("whois.b.test", "b1"); // another server goes on
    EXPECT_EQ(p.sent.back(), "b1");
    EXPECT_EQ(p.Next(), Ms(2000));
    p.now += Ms(2000);
    p.pacer.Run();
    EXPECT_EQ(p.sent.back(), "a6 again");
    p.pacer.Answered("whois.a.test", false);
    EXPECT_EQ(step(Ms(210), false), Ms(0));
    EXPECT_EQ(step(Ms(790), true), Ms(2000)); // the first answer a second old: one counts
    EXPECT_EQ(step(Ms(2000), true), Ms(4000));
    EXPECT_EQ(step(Ms(4000), false), Ms(0));
    p.Ask("whois.a.test", "a");
    EXPECT_EQ(p.Next(), Ms(2100));
    EXPECT_EQ(p.pacer.Notices(), 3);
    p.pacer.Drop();
    EXPECT_EQ(p.pacer.Waiting(), 0u);
}

} // namespace
