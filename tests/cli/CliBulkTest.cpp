// Bulk runs of the real zwhois against scripted servers that limit how often one address may
// ask: pacing, the ask again after a notice, the order of the answers, progress and Ctrl-C.
#include "tests/cli/CliFixture.h"

#include <deque>
#include <mutex>
#include <thread>

namespace clitest {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A registry that takes `perSecond` queries in any second, answers more with AFNIC's notice
// and refuses all for a second after one; it records the queries, notices and most at once.
struct Registry {
    int perSecond;
    std::mutex* lock;
    std::chrono::milliseconds delay;
    int maxHere = 0, here = 0;
    std::deque<Clock::time_point> taken{}, notified{}, asked{};
    Clock::time_point refuseUntil{};

    testsupport::FakeReply Reply(const std::string& request) {
        const std::string name = request.substr(0, request.find('\r'));
        std::unique_lock guard(*lock);
        const Clock::time_point now = Clock::now();
        maxHere = std::max(maxHere, ++here);
        asked.push_back(now);
        while (!taken.empty() && now - taken.front() >= 1s)
            taken.pop_front();
        const bool refuse = now < refuseUntil || int(taken.size()) >= perSecond;
        (refuse ? notified : taken).push_back(now);
        refuseUntil = refuse ? now + 1s : refuseUntil;
        guard.unlock();
        std::this_thread::sleep_for(delay);
        guard.lock();
        --here;
        return {{Answer(refuse ? "%% Too many requests"
                               : (name[0] == 'r' ? "Domain Name: " : "No match for ") + name)}};
    }
};

struct Network {
    explicit Network(int perSecond = 3, std::chrono::milliseconds delay = 20ms)
        : a{perSecond, &lock, delay}, b{100, &lock, delay} {}
    std::mutex lock;
    Registry a, b;
    FakeServer serverA{sb::kWhoisAAddr, 43, [this](auto& r) { return a.Reply(r); }};
    FakeServer serverB{sb::kWhoisBAddr, 43, [this](auto& r) { return b.Reply(r); }};
};

class CliBulkTest : public CliTest {
protected:
    void SetUp() override {
        REQUIRE_SANDBOX();
        CliTest::SetUp();
        WriteFile("Server.wis",
                  std::string(sb::kWhoisA) + ",-,alpha\r\n" + sb::kWhoisB + ",-,beta\r\n");
    }
};

TEST_F(CliBulkTest, PacedSideBySideAskedAgainAfterANoticeAndPrintedInOrder) {
    Network net;
    RunOptions in;
    in.stderrTerminal = true;
    std::vector<std::string> names;
    for (int k = 0; k < 15; ++k) {
        names.push_back(std::string(k % 3 == 1 ? "n" : "r") + std::to_string(k) +
                        (k % 3 == 2 ? ".beta" : ".alpha"));
        in.input += names.back() + "\n";
    }
    const RunResult r = Run({"--json", "-"}, in);
    EXPECT_EQ(r.status, 1) << r.err;
    // On a terminal, a progress line (none in a pipe), taken away at the end.
    EXPECT_NE(r.err.find(" s left, 1 limit notices, whois.a.test rests 1."), std::string::npos);
    EXPECT_NE(r.err.find("\rzwhois: 8/15 done, "), std::string::npos); // B's five, A's three
    EXPECT_TRUE(r.err.starts_with("\rzwhois: 0/15 done, 0 limit notices\x1b[K\rzwhois: ") &&
                r.err.ends_with("\r\x1b[K"));
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), names.size()) << r.out;
    for (size_t k = 0; k < names.size(); ++k) {
        const Json json = ParseJson(lines[k]);
        EXPECT_EQ(json["steps"].size() == 1 ? json["query"] : Json(), names[k]); // no attempt left
        EXPECT_EQ(json["verdict"], names[k][0] == 'r' ? "hit" : "no match") << lines[k];
    }
    // One query at a time to each server; A's notice made it rest 2 s and then go slowly enough
    // to draw no other, while B went on.
    std::lock_guard guard(net.lock);
    EXPECT_EQ(net.a.maxHere + net.b.maxHere, 2);
    ASSERT_EQ(net.a.notified.size(), 1u);
    EXPECT_TRUE(net.b.notified.empty());
    ASSERT_EQ(net.a.asked.size(), 11u); // ten names, one asked again
    EXPECT_GE(net.a.asked[4] - net.a.notified[0], 2s);
    EXPECT_LT(net.b.asked.back(), net.a.notified[0] + 1s);
}

// The least time between two queries to one server: the settings file's, or --pace's.
TEST_F(CliBulkTest, PaceFromTheSettingsOrTheCommandLine) {
    WriteFile("zindor-whois.ini", "WHOISPACE=1000\r\n");
    for (const auto& [pace, least] : {std::pair{"", 1000ms}, {"--pace=1500", 1500ms}}) {
        Network net;
        RunOptions in;
        in.input = "r1.beta\nr2.beta\n";
        EXPECT_EQ(Run({*pace ? pace : "-P1", "-"}, in).status, 0);
        std::lock_guard guard(net.lock); // as the server saw them, each connection's delay in
        ASSERT_EQ(net.b.asked.size(), 2u);
        EXPECT_GT(net.b.asked[1] - net.b.asked[0], least - 250ms) << pace;
        EXPECT_LT(net.b.asked[1] - net.b.asked[0], least + 400ms) << pace;
    }
}

// Without time to wait a notice fails the query; C, the sweep's next server, is not asked.
TEST_F(CliBulkTest, ANoticeWithoutTimeToWaitIsAFailure) {
    WriteFile("Server.wis",
              std::string(sb::kWhoisA) + ",-,alpha\r\n" + sb::kWhoisC + ",-,alpha\r\n");
    Network net(0);
    FakeServer c(sb::kWhoisCAddr, 43, FakeServer::Answer(Answer("Domain Name: r1.alpha")));
    const RunResult r = Run({"--json", "--max-wait=0", "r1.alpha"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(ParseJson(r.out)["failures"][0]["kind"], "rate-limited");
    EXPECT_EQ(r.err, "zwhois: whois.a.test: rate-limited by the server (Too many requests)\n");
    EXPECT_EQ(c.Connections(), 0);
    std::lock_guard guard(net.lock);
    EXPECT_EQ(net.a.asked.size(), 1u);
}

TEST_F(CliBulkTest, CtrlCMidRunPrintsTheAnswersInAndExitsAt130) {
    Network net(3, 150ms);
    RunOptions options;
    options.input = "r1.beta\nr2.beta\nr3.beta\nr4.beta\nr5.beta\n";
    options.interruptWhen = [&net] {
        std::lock_guard guard(net.lock);
        return net.b.asked.size() >= 3;
    };
    const RunResult r = Run({"-"}, options);
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.out, "Domain Name: r1.beta\n\nDomain Name: r2.beta\n");
    EXPECT_EQ(r.err, "zwhois: interrupted\n");
    EXPECT_LT(r.signalToExit, 100ms);
}

} // namespace
} // namespace clitest
