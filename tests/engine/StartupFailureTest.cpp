// When the socket library cannot be started, every operation still ends: a lookup reports a
// failed lookup (rather than leaving the operation waiting until Stop), and an exchange
// reports host-not-found without touching the network.
#include "tests/engine/EngineHarness.h"
#include "tests/support/FakeServer.h"

#include "platform/WinSock.h"

using namespace enginetest;
using testsupport::FakeServer;
namespace sb = testsupport::sandbox;

namespace {

class WithoutWinSock : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_SANDBOX();
        winsock::InjectStartupFailure(winsock::WSASYSNOTREADY);
    }
    void TearDown() override { winsock::InjectStartupFailure(0); }

    TPingTrace trace;
    EventLog log{trace};
};

} // namespace

TEST_F(WithoutWinSock, LookupReportsAFailedLookupAndEnds) {
    trace.Lookup(sb::kWhoisA);
    ASSERT_TRUE(WaitFor(log, "Done", 5s)) << "events: " << log.Kinds();
    EXPECT_EQ(log.Kinds(), "Start LookupStart Resolved Done");
    const TagHostEnt& host = log.First("Resolved").host;
    EXPECT_FALSE(host.Found);
    EXPECT_EQ(host.Query, sb::kWhoisA);
    EXPECT_EQ(host.HostName, sb::kWhoisA);
    EXPECT_EQ(host.Address, 0u);
    EXPECT_TRUE(trace.FIdle);
}

TEST_F(WithoutWinSock, WhoisAndSmtpReportHostNotFoundWithoutConnecting) {
    FakeServer whois(sb::kWhoisAAddr, 43, FakeServer::Answer("must not be read\r\n"));
    FakeServer smtp(sb::kSmtpAAddr, 25, FakeServer::Answer("must not be read\r\n"));
    trace.WhoisResolve(sb::kWhoisA, "a.test");
    ASSERT_TRUE(WaitFor(log, "WhoisResult", 5s)) << "events: " << log.Kinds();
    EXPECT_EQ(log.First("WhoisResult").code, 11001);
    EXPECT_EQ(log.First("WhoisResult").text2, "");
    trace.Smtp(sb::kSmtpA, "EXPN x");
    ASSERT_TRUE(WaitFor(log, "SmtpResult", 5s)) << "events: " << log.Kinds();
    EXPECT_EQ(log.First("SmtpResult").code, 11001);
    PumpFor(100ms);
    EXPECT_EQ(whois.Connections() + smtp.Connections(), 0);
}
