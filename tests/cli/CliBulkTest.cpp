// Bulk runs of the real zwhois against scripted servers that limit how often one address may
// ask: pacing, the ask again after a notice, the order of the answers, and Ctrl-C mid-run.
#include "tests/cli/CliFixture.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

namespace clitest {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::FakeReply;

// A registry that takes `perSecond` queries in any second and answers more with its notice,
// refusing every query for a second after one. It records when each query came, its notices
// and the most queries it had at once (maxAll: with the run's other servers, through `active`).
struct Registry {
    Registry(int perSecond, std::mutex& lock, int& active)
        : perSecond(perSecond), lock(lock), active(active) {}
    int perSecond;
    std::mutex& lock;
    int& active; // queries in hand, of all the run's servers
    int maxAll = 0, maxHere = 0, here = 0;
    std::deque<Clock::time_point> taken;
    std::vector<Clock::time_point> notified, asked;
    Clock::time_point refuseUntil{};
    std::chrono::milliseconds delay{0};

    FakeServer::Script Script() {
        return [this](const std::string& request) {
            const std::string name = request.substr(0, request.find('\r'));
            Clock::time_point now = Clock::now();
            std::string body;
            {
                std::lock_guard guard(lock);
                maxAll = std::max(maxAll, ++active);
                maxHere = std::max(maxHere, ++here);
                asked.push_back(now);
                while (!taken.empty() && now - taken.front() >= 1s)
                    taken.pop_front();
                if (now < refuseUntil || static_cast<int>(taken.size()) >= perSecond) {
                    refuseUntil = now + 1s;
                    notified.push_back(now);
                    body = "%% Too many requests";
                } else {
                    taken.push_back(now);
                    body = name[0] == 'r' ? "Domain Name: " + name : "No match for " + name;
                }
            }
            std::this_thread::sleep_for(delay);
            std::lock_guard guard(lock);
            --active, --here;
            return FakeReply{{Answer(body)}};
        };
    }
};

struct Network {
    std::mutex lock;
    int active = 0;
    Registry a{3, lock, active}, b{100, lock, active};
    FakeServer serverA{sb::kWhoisAAddr, 43, a.Script()}, serverB{sb::kWhoisBAddr, 43, b.Script()};
};

class CliBulkTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        WriteFile("Server.wis",
                  std::string(sb::kWhoisA) + ",-,alpha\r\n" + sb::kWhoisB + ",-,beta\r\n");
    }
};

TEST_F(CliBulkTest, PacedSideBySideAskedAgainAfterANoticeAndPrintedInOrder) {
    REQUIRE_SANDBOX();
    Network net;
    RunOptions in;
    std::vector<std::string> names;
    for (int k = 0; k < 5; ++k)
        for (const char* name : {"r%d.alpha", "n%d.alpha", "r%d.beta"})
            names.push_back(std::string(name).replace(1, 2, std::to_string(k)));
    for (const std::string& name : names)
        in.input += name + "\n";
    const RunResult r = Run({"--json", "-"}, in);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), names.size()) << r.out;
    for (size_t k = 0; k < names.size(); ++k) {
        const Json json = ParseJson(lines[k]);
        EXPECT_EQ(json["query"], names[k]);
        EXPECT_EQ(json["verdict"], names[k][0] == 'r' ? "hit" : "no match") << lines[k];
    }
    // One query at a time to each server; A's notice made it rest 2 s and go at no more than
    // 3 a second after, while B went on.
    EXPECT_EQ(net.a.maxHere, 1);
    EXPECT_EQ(net.b.maxHere, 1);
    ASSERT_EQ(net.a.notified.size(), 1u);
    EXPECT_TRUE(net.b.notified.empty());
    ASSERT_EQ(net.a.asked.size(), 11u); // ten names, one asked again
    EXPECT_GE(net.a.asked[4] - net.a.notified[0], 2s);
    EXPECT_LT(net.b.asked.back(), net.a.notified[0] + 1s);
    for (size_t k = 5; k < net.a.asked.size(); ++k)
        EXPECT_GE(net.a.asked[k] - net.a.asked[k - 1], 340ms) << k;
}

// -P bounds the queries in flight over all servers.
TEST_F(CliBulkTest, ParallelBoundsTheQueriesInFlight) {
    REQUIRE_SANDBOX();
    for (const char* parallel : {"1", "2"}) {
        Network net;
        net.a.delay = net.b.delay = 30ms;
        RunOptions in;
        in.input = "r1.alpha\nr1.beta\nr2.alpha\nr2.beta\n";
        EXPECT_EQ(Run({"-P", parallel, "-"}, in).status, 0);
        EXPECT_EQ(std::max(net.a.maxAll, net.b.maxAll), std::stoi(parallel));
    }
}

// The least time between two queries to one server: the settings file's, or --pace's.
TEST_F(CliBulkTest, PaceFromTheSettingsOrTheCommandLine) {
    REQUIRE_SANDBOX();
    WriteFile("zindor-whois.ini", "WHOISPACE=400\r\n");
    struct Row {
        std::string pace;
        std::chrono::milliseconds least, most;
    };
    for (const Row& row : {Row{"", 400ms, 2s}, Row{"0", 0ms, 300ms}, Row{"600", 600ms, 2s}}) {
        Network net;
        RunOptions in;
        in.input = "r1.beta\nr2.beta\n";
        std::vector<std::string> args = {"-"};
        if (!row.pace.empty())
            args = {"--pace", row.pace, "-"};
        EXPECT_EQ(Run(args, in).status, 0);
        ASSERT_EQ(net.b.asked.size(), 2u);
        EXPECT_GE(net.b.asked[1] - net.b.asked[0], row.least) << row.pace;
        EXPECT_LT(net.b.asked[1] - net.b.asked[0], row.most) << row.pace;
    }
}

// Without time to wait the notice ends the query: a failure of its own, the notice shown, and
// C, the sweep's next server, not asked.
TEST_F(CliBulkTest, ANoticeWithoutTimeToWaitIsAFailure) {
    REQUIRE_SANDBOX();
    WriteFile("Server.wis",
              std::string(sb::kWhoisA) + ",-,alpha\r\n" + sb::kWhoisC + ",-,alpha\r\n");
    Network net;
    FakeServer c(sb::kWhoisCAddr, 43, FakeServer::Answer(Answer("Domain Name: r1.alpha")));
    net.a.perSecond = 0;
    const std::string said =
        "zwhois: whois.a.test: rate-limited by the server (Too many requests)\n";
    const RunResult r = Run({"--max-wait", "0", "r1.alpha"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out,
              "%% Too many requests\n\nNo answer from whois.a.test: rate-limited by the server\n");
    EXPECT_EQ(r.err, said);
    const RunResult json = Run({"--json", "--max-wait", "0", "r1.alpha"});
    const Json object = ParseJson(json.out);
    EXPECT_EQ(object["failures"][0]["kind"], "rate-limited");
    EXPECT_EQ(object["steps"][0]["verdict"], "failed");
    EXPECT_EQ(json.err, said);
    EXPECT_EQ(net.a.asked.size(), 2u);
    EXPECT_EQ(c.Connections(), 0);
}

TEST_F(CliBulkTest, CtrlCMidRunPrintsTheAnswersInAndExitsAt130) {
    REQUIRE_SANDBOX();
    Network net;
    net.b.delay = 150ms;
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
