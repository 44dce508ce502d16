// The guards on what is sent: a query or SMTP text of at most 1024 bytes goes out whole, a
// longer one is refused with WSAEMSGSIZE, and one holding a control character (which could
// add lines to the conversation) is refused with WSAEINVAL; refused texts never reach the
// server.
#include "tests/engine/EngineHarness.h"
#include "tests/support/FakeServer.h"

using namespace enginetest;
using testsupport::FakeServer;
namespace sb = testsupport::sandbox;

namespace {

class RequestLimits : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_SANDBOX(); }

    const Event& Whois(const std::string& query) {
        trace.WhoisResolve(sb::kWhoisA, query);
        EXPECT_TRUE(WaitFor(log, "WhoisResult")) << "events: " << log.Kinds();
        return log.First("WhoisResult");
    }
    const Event& Smtp(const std::string& text) {
        trace.Smtp(sb::kSmtpA, text);
        EXPECT_TRUE(WaitFor(log, "SmtpResult")) << "events: " << log.Kinds();
        return log.First("SmtpResult");
    }
    // Whatever reached the servers, once every connection has ended.
    std::string Received(const FakeServer& server) {
        PumpFor(50ms);
        EXPECT_TRUE(server.WaitFinished(server.Connections(), 3s));
        return server.AllReceived();
    }

    TPingTrace trace;
    EventLog log{trace};
};

} // namespace

TEST_F(RequestLimits, QueryOf1024BytesIsSentWhole) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer("ok\r\n"));
    const std::string query(1024, 'q');
    const Event& result = Whois(query);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.text2, "ok\r\n");
    EXPECT_EQ(Received(server), query + "\r\n");
}

TEST_F(RequestLimits, QueryOf1025BytesIsRefusedUnsent) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer("ok\r\n"));
    const std::string query(1025, 'q');
    const Event& result = Whois(query);
    EXPECT_EQ(result.code, 10040);
    EXPECT_EQ(result.text2, "Error WSAEMSGSIZE");
    EXPECT_EQ(result.text1, query);
    EXPECT_EQ(Received(server), "");
}

TEST_F(RequestLimits, QueryWithAnyControlCharacterIsRefusedUnsent) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer("ok\r\n"));
    using std::string_literals::operator""s;
    for (const std::string& query :
         {"a.test\r\nsecond line"s, "a.test\nx"s, "a.test\rx"s, "a\tb"s, "a\0b"s,
          "\x01"s
          "a"s,
          "a\x1f"s, "a\x1b$B"s, "a\xC2\x85-"s, "a\xC2\x9F"s}) {
        log.events.clear();
        const Event& result = Whois(query);
        EXPECT_EQ(result.code, 10022) << "query of " << query.size() << " bytes";
        EXPECT_EQ(result.text2, "Error WSAEINVAL");
    }
    EXPECT_EQ(Received(server), "");
}

TEST_F(RequestLimits, SmtpTextLimitsMatchTheQueryLimits) {
    FakeServer::Options options;
    options.requestEnd = "QUIT\r\n";
    FakeServer server(sb::kSmtpAAddr, 25, FakeServer::Answer("221 bye\r\n"), options);
    ASSERT_TRUE(server.Listening()) << server.Error();

    EXPECT_EQ(Smtp("EXPN a\r\nRCPT TO:<x@a.test>").code, 10022);
    log.events.clear();
    EXPECT_EQ(Smtp(std::string(1025, 'e')).code, 10040);
    EXPECT_EQ(log.First("SmtpResult").text2, "Error WSAEMSGSIZE");
    EXPECT_EQ(Received(server), "");

    log.events.clear();
    const std::string text = "EXPN " + std::string(1019, 'u');
    EXPECT_EQ(Smtp(text).code, 0);
    EXPECT_EQ(Received(server), text + "\r\nQUIT\r\n");
}
