// The WHOIS session against fake port-43 and RDAP servers: the records each kind of chain
// leaves, in order, and what Stop leaves of them.
#include "engine/WhoisSession.h"
#include "engine/RdapQuery.h"
#include "tests/engine/EngineHarness.h"
#include "tests/platform/TempDir.h"
#include "tests/rdap/Helpers.h"
#include "tests/support/FakeServer.h"

#include <fstream>

using namespace enginetest;
using testsupport::FakeHttpServer;
using testsupport::FakeServer;
namespace sb = testsupport::sandbox;

namespace {

const std::string kHit = "Domain Name: X.TEST\r\nRegistrant: Someone\r\n";
const std::string kRdap = "http://127.0.0.2:8080/", kUrl = kRdap + "domain/x.test";
const std::string kRar = kRdap + "rar/domain/x";
const std::string kRecord = R"({"objectClassName":"domain","ldhName":"X.TEST","links":[)"
                            R"({"rel":"related","type":"application/rdap+json","href":)"
                            R"("http://127.0.0.2:8080/rar/domain/x"}]})";

constexpr const char* kVerdicts[] = {"pending", "hit", "referral", "no-match", "failed"};

// Each record as "protocol server-or-url query verdict[ kind]", joined by " | ".
std::string Records(const WhoisSession& session) {
    std::string out;
    for (const StepRecord& step : session.Steps()) {
        const bool rdap = step.protocol == StepRecord::Protocol::Rdap;
        out += (out.empty() ? "" : " | ") +
               std::string(rdap ? "rdap " + step.url : "whois " + step.server + " " + step.query);
        out += std::string(" ") + kVerdicts[static_cast<int>(step.verdict)];
        if (step.verdict == StepVerdict::Failed)
            out += std::string(" ") + FailureKindName(step.failure.kind);
    }
    return out;
}

std::string Failures(const WhoisSession& session) {
    std::string out;
    for (const ServerFailure& f : session.Failures())
        out += (out.empty() ? "" : " | ") + f.server + " " + FailureKindName(f.failure.kind) +
               ": " + f.failure.detail;
    return out;
}

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_SANDBOX();
        std::ofstream(dir.path() + "/dns.json")
            << R"({"services":[[["test"],[")" << kRdap << R"("]]]})";
    }

    // A fresh controller and session: the sweep's queue lives in the controller.
    struct Chain {
        explicit Chain(const std::string& folder) { trace.FRdapFolders = {folder}; }
        TPingTrace trace;
        WhoisSession session{trace};
    };

    TempDir dir;
};

TEST_F(Session, EachChainLeavesItsRecords) {
    const auto toB = FakeServer::Answer("Domain Name: X.TEST\r\nWhois Server: whois.b.test\r\n");
    const auto hit = FakeServer::Answer(kHit);
    const auto miss = FakeServer::Answer("No match for x.test.\r\n");
    const std::string refused = "whois refused.a.test x.test failed refused";
    struct Row {
        FakeServer::Script a, b;
        std::vector<testsupport::HttpReply> registry, registrar;
        std::string server;
        bool rdapOnly;
        std::string records;
        ChainVerdict verdict;
        std::string failures, answerServer;
    } rows[] = {
        // clang-format off
        {hit, miss, {}, {}, sb::kWhoisA, false, "whois whois.a.test x.test hit",
         ChainVerdict::Hit, "", sb::kWhoisA},
        {toB, hit, {}, {}, sb::kWhoisA, false,
         "whois whois.a.test x.test referral | whois whois.b.test x.test hit",
         ChainVerdict::Hit, "", sb::kWhoisB},
        // The registry's record stands when its registrar fails; the failure is kept.
        {toB, FakeServer::CloseAtOnce(), {}, {}, sb::kWhoisA, false,
         "whois whois.a.test x.test referral | whois whois.b.test x.test failed no-answer",
         ChainVerdict::Hit, "whois.b.test no-answer: no answer", sb::kWhoisA},
        // Each step by its own answer: the registrar's no-match is one under the hit.
        {toB, miss, {}, {}, sb::kWhoisA, false,
         "whois whois.a.test x.test referral | whois whois.b.test x.test no-match",
         ChainVerdict::Hit, "", sb::kWhoisA},
        // RDAP's no-match below it leaves the registry's record the answer.
        {toB, FakeServer::CloseAtOnce(), {FakeHttpServer::NotFound()}, {}, sb::kWhoisA, false,
         "whois whois.a.test x.test referral | whois whois.b.test x.test failed no-answer | rdap " +
             kUrl + " no-match",
         ChainVerdict::Hit, "whois.b.test no-answer: no answer", sb::kWhoisA},
        {miss, hit, {}, {}, sb::kRefused, false, refused, ChainVerdict::Error,
         "refused.a.test refused: connection refused", ""},
        {miss, hit, {}, {}, sb::kUnknown, false, "whois nowhere.invalid x.test failed unknown-host",
         ChainVerdict::Error, "nowhere.invalid unknown-host: unknown host", ""},
        {miss, hit, {Reply(kRecord)}, {Reply(R"({"objectClassName":"domain"})")}, "", true,
         "rdap " + kUrl + " hit | rdap " + kRar + " hit", ChainVerdict::Hit, "", kRar},
        // A registrar's failed RDAP fetch is a failed server under a hit.
        {miss, hit, {Reply(kRecord)}, {Reply("{}", 500)}, "", true,
         "rdap " + kUrl + " hit | rdap " + kRar + " failed http-status", ChainVerdict::Hit,
         kRar + " http-status: RDAP server 127.0.0.2:8080: HTTP 500", kUrl},
        {miss, hit, {Reply(kRecord)}, {FakeHttpServer::NotFound()}, "", true,
         "rdap " + kUrl + " hit | rdap " + kRar + " no-match", ChainVerdict::Hit, "", kUrl},
        // Port 43 refuses, RDAP stands in and has no record.
        {miss, hit, {FakeHttpServer::NotFound()}, {}, sb::kRefused, false,
         refused + " | rdap " + kUrl + " no-match", ChainVerdict::Error,
         "refused.a.test refused: connection refused", kUrl},
        // Port 43's no-match stays the answer when RDAP then fails.
        {miss, hit, {Reply("{}", 503)}, {}, sb::kWhoisA, false,
         "whois whois.a.test x.test no-match | rdap " + kUrl + " failed http-status",
         ChainVerdict::Error, kUrl + " http-status: RDAP server 127.0.0.2:8080: HTTP 503",
         sb::kWhoisA},
        {miss, hit, {Reply("{}", 503)}, {}, "", true, "rdap " + kUrl + " failed http-status",
         ChainVerdict::Error, kUrl + " http-status: RDAP server 127.0.0.2:8080: HTTP 503", ""},
        // Nothing serves the query: no step at all.
        {miss, hit, {}, {}, "", false, "", ChainVerdict::Error,
         " no-server: no server in Server.wis serves x.test (use -h)", ""},
        // clang-format on
    };
    for (const Row& row : rows) {
        FakeServer a(sb::kWhoisAAddr, 43, row.a), b(sb::kWhoisBAddr, 43, row.b);
        FakeHttpServer rdap(
            "127.0.0.2", 8080,
            Sequence({{"/domain/x.test", row.registry}, {"/rar/domain/x", row.registrar}}));
        Chain chain(dir.path());
        WhoisSession& session = chain.session;
        chain.trace.FUseRdap = !row.registry.empty();
        session.StartFirst(row.server, "x.test", row.rdapOnly);
        ASSERT_TRUE(PumpUntil([&] { return session.Finished(); })) << row.records;
        EXPECT_EQ(Records(session), row.records);
        EXPECT_EQ(session.Verdict(), row.verdict) << row.records;
        EXPECT_EQ(Failures(session), row.failures) << row.records;
        EXPECT_EQ(session.AnswerServer(), row.answerServer) << row.records;
        EXPECT_EQ(session.AnswerText(TextStyle::Plain).empty(), row.answerServer.empty())
            << row.records;
        ASSERT_TRUE(WorkersGone());
    }
}

TEST_F(Session, StopLeavesTheAskedStepPendingAndNothingFollows) {
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Silence());
    Chain chain(dir.path());
    TPingTrace& trace = chain.trace;
    WhoisSession& session = chain.session;
    int texts = 0;
    session.OnText = [&](const WhoisStep&) { ++texts; };
    session.Start(sb::kWhoisA, "x.test");
    // The start reaches the session on its own: a Stop before it would drop it too.
    ASSERT_TRUE(PumpUntil([&] { return a.Connections() > 0 && !session.Steps().empty(); }));
    EXPECT_LT(Timed([&] { trace.Stop(); }), 100ms);
    PumpFor(300ms);
    EXPECT_FALSE(session.Finished());
    EXPECT_EQ(Records(session), "whois whois.a.test x.test pending");
    EXPECT_EQ(texts, 0);
    EXPECT_EQ(Failures(session), "");
}

// Failures as values: the stable kind and the words, curl's sorted by kind, and a WinSock
// code the table lacks (refused, unknown host, no answer and an HTTP status are pinned by the
// chains above).
TEST(StepFailures, KindsAndWords) {
    using F = rdap::FetchResult::Failure;
    const auto server = [](F transport, std::string line) {
        return RdapFailure({"", std::move(line), rdap::Failure::Server, transport});
    };
    struct Row {
        StepFailure failure;
        std::string kind, detail;
    } rows[] = {
        // clang-format off
        {WhoisFailure(11004), "unknown-host", "unknown host"},
        {WhoisFailure(10055), "other", "no buffer space"},
        {WhoisFailure(10067), "other", "Error WSAEPROCLIM"},
        {WhoisFailure(10022), "bad-query", "query holds a control character"},
        {server(F::Dns, "d"), "unknown-host", "d"},
        {server(F::TimedOut, ""), "timeout", ""},
        {server(F::Connection, ""), "refused", ""}, {server(F::Reset, ""), "reset", ""},
        {server(F::Tls, ""), "tls", ""},
        {server(F::TooLarge, ""), "not-rdap", ""},
        {server(F::Redirect, ""), "not-rdap", ""},
        {server(F::Other, ""), "other", ""},
        {RdapFailure({"", "n", rdap::Failure::NotRdap, F::None}), "not-rdap", "n"},
        {RdapFailure({"", "l", rdap::Failure::NoLibcurl, F::None}), "other", "l"},
        // clang-format on
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FailureKindName(row.failure.kind), row.kind) << row.detail;
        EXPECT_EQ(row.failure.detail, row.detail);
    }
}

// Every operation's failure in words; a query's own words only where a query is at fault.
TEST(StepFailures, WordsOutsideAQuery) {
    const std::pair<int32_t, const char*> rows[] = {
        {10013, "permission denied"}, {10022, "invalid argument"},    {10061, "connection refused"},
        {11001, "unknown host"},      {10051, "network unreachable"}, {10067, "Error WSAEPROCLIM"}};
    for (const auto& [code, words] : rows)
        EXPECT_EQ(FailureWords(code), words) << code;
}

// The time-out box's seconds as each RDAP fetch's bound, at the box's limits.
TEST(RdapTimeOut, FollowsTheTimeOutBox) {
    using std::chrono::milliseconds;
    const milliseconds own = rdap::FetchOptions().timeout;
    const std::pair<int32_t, milliseconds> rows[] = {
        {-1, own}, {0, own}, {1, 1000ms}, {600, 600000ms}, {601, 600000ms}};
    for (const auto& [seconds, bound] : rows)
        EXPECT_EQ(RdapTimeOut(seconds), bound) << seconds;
}

} // namespace
