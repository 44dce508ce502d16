// A WHOIS query through the controller against fake servers on port 43: what reaches the
// server, and the code and text that come back for each way a server can behave.
#include "tests/engine/EngineHarness.h"
#include "tests/support/FakeServer.h"

using namespace enginetest;
using testsupport::FakeServer;
namespace sb = testsupport::sandbox;

namespace {

class WhoisExchange : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_SANDBOX(); }

    // Runs one WhoisResolve to the end and returns its result event.
    const Event& Query(const std::string& server, const std::string& query, Ms timeout = 10s) {
        trace.WhoisResolve(server, query);
        EXPECT_TRUE(WaitFor(log, "WhoisResult", timeout)) << "events: " << log.Kinds();
        return log.First("WhoisResult");
    }

    TPingTrace trace;
    EventLog log{trace};
};

// A text that shows any loss, reordering or repetition of bytes.
std::string Pattern(size_t size) {
    std::string text;
    for (size_t i = 0; text.size() < size; ++i)
        text += "line " + std::to_string(i) + " of a long answer\r\n";
    text.resize(size);
    return text;
}

} // namespace

TEST_F(WhoisExchange, AnswerAndCloseGivesTheTextAndSendsQueryWithCrLf) {
    const std::string answer = "Domain Name: EXAMPLE.A.TEST\r\nRegistrar: Test\r\n";
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer(answer));
    ASSERT_TRUE(server.Listening()) << server.Error();

    const Event& result = Query(sb::kWhoisA, "example.a.test");
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.text1, "example.a.test");
    EXPECT_EQ(result.text2, answer);
    ASSERT_TRUE(server.WaitFinished(1, 3s));
    EXPECT_EQ(server.Received(), std::vector<std::string>{"example.a.test\r\n"});
    EXPECT_TRUE(WorkersGone());
}

TEST_F(WhoisExchange, QueryBytesAboveAsciiAreSentUnchanged) {
    // A Shift-JIS or UTF-8 query is bytes; only control characters are refused.
    const std::string query = "\x93\xfa\x96\x7b.jp \xe6\x97\xa5\x7f";
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer("ok\r\n"));
    EXPECT_EQ(Query(sb::kWhoisA, query).code, 0);
    ASSERT_TRUE(server.WaitFinished(1, 3s));
    EXPECT_EQ(server.AllReceived(), query + "\r\n");
}

TEST_F(WhoisExchange, CloseWithoutAByteIsUnknownError) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::CloseAtOnce());
    const Event& result = Query(sb::kWhoisA, "a.test");
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(result.text2, "Unknown Error!");
}

TEST_F(WhoisExchange, ZeroByteCutsOnlyItsOwnChunk) {
    using std::string_literals::operator""s;
    FakeServer server(sb::kWhoisAAddr, 43,
                      FakeServer::Chunks({"first\0lost"s, "second\0also lost"s, "third"}, 300ms));
    const Event& result = Query(sb::kWhoisA, "a.test");
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.text2, "firstsecondthird");
}

TEST_F(WhoisExchange, AnswerOver512BytesIsJoinedInOrder) {
    const std::string whole = Pattern(3000);
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer(whole));
    EXPECT_EQ(Query(sb::kWhoisA, "a.test").text2, whole);
}

TEST_F(WhoisExchange, AnswerInSeveralSlowChunksIsJoinedInOrder) {
    const std::string whole = Pattern(1700);
    FakeServer server(
        sb::kWhoisAAddr, 43,
        FakeServer::Chunks({whole.substr(0, 700), whole.substr(700, 511), whole.substr(1211)},
                           100ms));
    const Event& result = Query(sb::kWhoisA, "a.test");
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.text2, whole);
}

TEST_F(WhoisExchange, PartThenSilenceGivesThePartAfterFiveSeconds) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::PartThenSilence("partial answer\r\n"));
    const auto start = std::chrono::steady_clock::now();
    const Event& result = Query(sb::kWhoisA, "a.test", 15s);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.text2, "partial answer\r\n");
    EXPECT_GE(waited, 4900ms);
    EXPECT_LT(waited, 9s);
    // The client gives the connection up after its wait.
    EXPECT_TRUE(server.WaitFinished(1, 3s));
}

TEST_F(WhoisExchange, AnswerIsCutAtFourMebibytes) {
    const size_t cap = 4u * 1024 * 1024;
    const std::string flood = Pattern(cap + 1024 * 1024);
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer(flood));
    const Event& result = Query(sb::kWhoisA, "a.test", 30s);
    EXPECT_EQ(result.code, 0);
    // The pattern's lines end at the cut only by chance; here one is cut in its middle.
    ASSERT_NE(flood[cap - 1], '\n');
    const std::string tail = std::string("\r\n") + AnswerCutNote;
    ASSERT_EQ(result.text2.size(), cap + tail.size());
    EXPECT_TRUE(result.text2.compare(0, cap, flood, 0, cap) == 0)
        << "the kept text is not the start";
    EXPECT_EQ(result.text2.substr(cap), tail);
}

TEST_F(WhoisExchange, ResetBeforeAnyTextGivesTheResetCode) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::PartThenReset("", 0ms));
    const Event& result = Query(sb::kWhoisA, "a.test");
    EXPECT_EQ(result.code, 10054);
    EXPECT_EQ(result.text2, "Error WSAECONNRESET");
}

TEST_F(WhoisExchange, ResetAfterSomeTextKeepsTheText) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::PartThenReset("half an answer", 300ms));
    const Event& result = Query(sb::kWhoisA, "a.test");
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.text2, "half an answer");
}

TEST_F(WhoisExchange, RefusedConnectionIsWsaeConnRefused) {
    const Event& result = Query(sb::kRefused, "a.test");
    EXPECT_EQ(result.code, 10061);
    EXPECT_EQ(result.text2, "Error WSAECONNREFUSED");
}

TEST_F(WhoisExchange, UnresolvableServerIsHostNotFoundWithoutConnection) {
    const Event& result = Query(sb::kUnknown, "a.test");
    EXPECT_EQ(result.code, 11001);
    EXPECT_EQ(result.text2, "");
    const Event& resolved = log.First("Resolved");
    EXPECT_FALSE(resolved.host.Found);
    EXPECT_EQ(resolved.host.Address, 0u);
}

TEST_F(WhoisExchange, DottedServerWithoutReverseNameIsUsedAsTyped) {
    // The lookup of an address without a name reports not found; the address the user typed
    // is still where the query goes.
    FakeServer server(sb::kNamelessAddr, 43, FakeServer::Answer("by bare address\r\n"));
    ASSERT_TRUE(server.Listening()) << server.Error();
    const Event& result = Query(sb::kNamelessAddr, "a.test");
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.text2, "by bare address\r\n");
    EXPECT_FALSE(log.First("Resolved").host.Found);
    EXPECT_EQ(log.First("Resolved").host.Address, testsupport::Ipv4(sb::kNamelessAddr));
    EXPECT_EQ(server.AllReceived(), "a.test\r\n");
}

TEST_F(WhoisExchange, DottedServerTheParserRejectsIsNotContacted) {
    // 999.1.1.1 passes the dotted test but has no address: nothing to connect to.
    const Event& result = Query("999.1.1.1", "a.test");
    EXPECT_EQ(result.code, 11001);
    EXPECT_EQ(result.text2, "");
}

TEST_F(WhoisExchange, ServerByAddressWithReverseNameIsQueried) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer("by address\r\n"));
    const Event& result = Query(sb::kWhoisAAddr, "a.test");
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.text2, "by address\r\n");
    EXPECT_EQ(log.First("WhoisStart").text1, sb::kWhoisAAddr) << "the server as given";
}

// A server's addresses are tried in turn, IPv4 first: whois6.a.test resolves to 127.0.0.1
// (refused) and ::1, where the server listens; the family setting keeps one of them.
TEST_F(WhoisExchange, EachAddressIsTriedInTurnIPv4First) {
    FakeServer server(sb::kWhois6Addr, 43, FakeServer::Answer("over IPv6\r\n"));
    ASSERT_TRUE(server.Listening()) << server.Error();
    const struct {
        const char* server;
        int family;
        int32_t code;
    } rows[] = {
        {sb::kWhois6, 0, 0},
        {sb::kWhois6Addr, 0, 0},
        {sb::kWhois6, AF_INET6, 0},
        {sb::kWhois6, AF_INET, 10061},
        {sb::kWhois6Addr, AF_INET, 11001},
        // Under -6 a typed IPv4 address has none to try: never 0.0.0.0, this machine, which
        // would refuse here.
        {sb::kWhoisAAddr, AF_INET6, 11001},
        {"0.0.0.0", 0, 11001},
        {"::", 0, 11001},
        {sb::kDual, 0, 10051}, // refused, then no route to its IPv6 address
    };
    for (const auto& row : rows) {
        log.events.clear();
        trace.FFamily = row.family;
        const Event& result = Query(row.server, "2001:db8::/32");
        EXPECT_EQ(result.code, row.code) << row.server << " " << row.family;
        EXPECT_EQ(result.text2 == "over IPv6\r\n", row.code == 0) << result.text2;
    }
    ASSERT_TRUE(server.WaitFinished(3, 3s));
    EXPECT_EQ(server.Received(), std::vector<std::string>(3, "2001:db8::/32\r\n"));
}
