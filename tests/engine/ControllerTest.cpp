// The controller's WHOIS and SMTP operations end to end: the order of their events, the
// fields they leave behind, and the conversation the fake servers saw.
#include "tests/engine/EngineHarness.h"
#include "tests/support/FakeServer.h"

using namespace enginetest;
using testsupport::FakeServer;
using testsupport::Ipv4;
namespace sb = testsupport::sandbox;

namespace {

class Controller : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_SANDBOX(); }

    TPingTrace trace;
    EventLog log{trace};
};

FakeServer::Options SmtpOptions() {
    FakeServer::Options options;
    options.greeting = "220 smtp.a.test ESMTP\r\n";
    options.requestEnd = "QUIT\r\n";
    return options;
}

} // namespace

TEST_F(Controller, WhoisResolveRaisesStartResolvedQueryStartResult) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer("answer\r\n"));
    trace.WhoisResolve(sb::kWhoisA, "a.test");
    ASSERT_TRUE(WaitFor(log, "WhoisResult"));
    PumpFor(50ms);
    EXPECT_EQ(log.Kinds(), "Start Resolved WhoisStart WhoisResult");
    EXPECT_EQ(log.events[0].op, opWhois);
    EXPECT_EQ(log.events[1].op, opWhois);
    EXPECT_EQ(log.events[1].host.Address, Ipv4(sb::kWhoisAAddr));
    // Query start and result come from the worker.
    EXPECT_NE(log.events[2].sender, &trace);
    EXPECT_EQ(log.events[2].sender, log.events[3].sender);
    EXPECT_EQ(log.events[2].text1, sb::kWhoisA);
    EXPECT_EQ(log.events[2].text2, "a.test");
    // A WHOIS query is not a target operation: it leaves FIdle and FOperation alone.
    EXPECT_TRUE(trace.FIdle);
    EXPECT_EQ(trace.FOperation, 0);
    EXPECT_TRUE(trace.FWhoisRunning);
    EXPECT_EQ(trace.FQueryText, "a.test");
    EXPECT_EQ(trace.FHost.HostName, sb::kWhoisA);

    trace.WhoisEnded();
    EXPECT_FALSE(trace.FWhoisRunning);
    ASSERT_EQ(log.Count("Done"), 1);
    EXPECT_EQ(log.First("Done").sender, &trace);
    EXPECT_TRUE(WorkersGone());
}

TEST_F(Controller, WhoisDirectAsksTheSameServerWithoutLookup) {
    FakeServer server(sb::kWhoisAAddr, 43,
                      FakeServer::AnswerByQuery({{"www.example.a.test", "No match\r\n"},
                                                 {"example.a.test", "Domain: example\r\n"}},
                                                "unexpected\r\n"));
    trace.WhoisResolve(sb::kWhoisA, "www.example.a.test");
    ASSERT_TRUE(WaitFor(log, "WhoisResult"));
    EXPECT_EQ(log.First("WhoisResult").text2, "No match\r\n");

    log.events.clear();
    trace.WhoisDirect("example.a.test");
    ASSERT_TRUE(WaitFor(log, "WhoisResult"));
    EXPECT_EQ(log.Kinds(), "Start WhoisStart WhoisResult");
    EXPECT_EQ(log.First("WhoisResult").text1, "example.a.test");
    EXPECT_EQ(log.First("WhoisResult").text2, "Domain: example\r\n");
    EXPECT_EQ(log.First("WhoisStart").text1, sb::kWhoisA);
    ASSERT_TRUE(server.WaitFinished(2, 3s));
    EXPECT_EQ(server.Received(),
              (std::vector<std::string>{"www.example.a.test\r\n", "example.a.test\r\n"}));
}

TEST_F(Controller, WhoisChainMovesBetweenServers) {
    FakeServer first(sb::kWhoisAAddr, 43,
                     FakeServer::Answer("Whois Server: " + std::string(sb::kWhoisB) + "\r\n"));
    FakeServer second(sb::kWhoisBAddr, 43, FakeServer::Answer("detail\r\n"));
    trace.WhoisResolve(sb::kWhoisA, "x.test");
    ASSERT_TRUE(WaitFor(log, "WhoisResult"));
    log.events.clear();
    trace.WhoisResolve(sb::kWhoisB, "x.test");
    ASSERT_TRUE(WaitFor(log, "WhoisResult"));
    EXPECT_EQ(log.First("WhoisResult").text2, "detail\r\n");
    EXPECT_EQ(trace.CurrentTarget(), sb::kWhoisB);
    EXPECT_EQ(first.Connections(), 1);
    EXPECT_EQ(second.Connections(), 1);
}

TEST_F(Controller, WhoisResolveOfUnknownServerStillReportsAResult) {
    trace.WhoisResolve(sb::kUnknown, "a.test");
    ASSERT_TRUE(WaitFor(log, "WhoisResult"));
    EXPECT_EQ(log.Kinds(), "Start Resolved WhoisStart WhoisResult");
    EXPECT_EQ(log.First("WhoisStart").text1, sb::kUnknown);
    EXPECT_EQ(log.First("WhoisResult").code, 11001);
    EXPECT_EQ(trace.CurrentTarget(), sb::kUnknown);
}

TEST_F(Controller, SmtpSendsTextAndQuitAndCollectsTheWholeConversation) {
    FakeServer server(sb::kSmtpAAddr, 25,
                      FakeServer::Answer("250 Postmaster <pm@a.test>\r\n221 Bye\r\n"),
                      SmtpOptions());
    ASSERT_TRUE(server.Listening()) << server.Error();
    trace.Smtp(sb::kSmtpA, "EXPN postmaster");
    ASSERT_TRUE(WaitFor(log, "SmtpResult"));
    PumpFor(50ms);
    EXPECT_EQ(log.Kinds(), "Start LookupStart Resolved SmtpResult");
    EXPECT_EQ(log.events[0].op, opSmtp);
    EXPECT_EQ(log.events[1].op, opSmtp);
    EXPECT_EQ(log.events[1].text1, sb::kSmtpA);
    EXPECT_EQ(log.events[2].op, opSmtp);
    const Event& result = log.First("SmtpResult");
    EXPECT_NE(result.sender, &trace);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.text1, "EXPN postmaster");
    EXPECT_EQ(result.text2, "220 smtp.a.test ESMTP\r\n250 Postmaster <pm@a.test>\r\n221 Bye\r\n");
    ASSERT_TRUE(server.WaitFinished(1, 3s));
    EXPECT_EQ(server.AllReceived(), "EXPN postmaster\r\nQUIT\r\n");

    // The exchange's result brings the controller to rest, so a WHOIS chain after it ends
    // with OnDone rather than leaving the window busy until Stop.
    EXPECT_TRUE(trace.FIdle);
    EXPECT_EQ(trace.FOperation, opSmtp);
    EXPECT_EQ(log.Count("Done"), 0) << "the window enables its commands itself";
    FakeServer whois(sb::kWhoisAAddr, 43, FakeServer::Answer("answer\r\n"));
    trace.WhoisResolve(sb::kWhoisA, "a.test");
    ASSERT_TRUE(WaitFor(log, "WhoisResult"));
    trace.WhoisEnded();
    EXPECT_EQ(log.Count("Done"), 1);
}

TEST_F(Controller, SmtpToUnknownServerReportsHostNotFound) {
    trace.Smtp(sb::kUnknown, "EXPN x");
    ASSERT_TRUE(WaitFor(log, "SmtpResult"));
    EXPECT_FALSE(log.First("Resolved").host.Found);
    EXPECT_EQ(log.First("SmtpResult").code, 11001);
    EXPECT_EQ(log.First("SmtpResult").text2, "");
}

TEST_F(Controller, SmtpRefusedIsWsaeConnRefused) {
    trace.Smtp(sb::kRefused, "EXPN x");
    ASSERT_TRUE(WaitFor(log, "SmtpResult"));
    EXPECT_EQ(log.First("SmtpResult").code, 10061);
    EXPECT_EQ(log.First("SmtpResult").text2, "Error WSAECONNREFUSED");
}

TEST_F(Controller, ResultOfAnOperationAlreadyAtRestEndsIt) {
    // The window may have brought the controller to rest while the lookup ran: the lookup's
    // result is still shown, but the operation goes no further.
    FakeServer server(sb::kSmtpAAddr, 25, FakeServer::Answer("221 bye\r\n"), SmtpOptions());
    trace.Smtp(sb::kSmtpA, "EXPN x");
    trace.FIdle = true;
    ASSERT_TRUE(WaitFor(log, "Done"));
    PumpFor(200ms);
    EXPECT_EQ(log.Kinds(), "Start LookupStart Resolved Done");
    EXPECT_EQ(log.First("Done").sender, &trace);
    EXPECT_EQ(server.Connections(), 0);
}

TEST_F(Controller, SmtpWaitsLongerThanWhoisForAFurtherChunk) {
    FakeServer server(sb::kSmtpAAddr, 25, FakeServer::PartThenSilence("220 slow\r\n"),
                      SmtpOptions());
    trace.Smtp(sb::kSmtpA, "EXPN x");
    ASSERT_TRUE(PumpUntil([&] { return server.Connections() == 1; }));
    PumpFor(6500ms);
    EXPECT_EQ(log.Count("SmtpResult"), 0) << "an SMTP answer waits 15 seconds per chunk";
    trace.Stop();
}

TEST(ControllerState, DefaultsAtCreation) {
    TPingTrace trace;
    EXPECT_TRUE(trace.FIdle);
    EXPECT_FALSE(trace.FProbeBusy);
    EXPECT_FALSE(trace.FTracing);
    EXPECT_FALSE(trace.FWhoisRunning);
    EXPECT_EQ(trace.FOperation, 0);
    EXPECT_EQ(trace.FEchoCount, 5);
    EXPECT_EQ(trace.FProbeTimeOut, 5000);
    EXPECT_EQ(trace.FEchoSerial, 0);
    EXPECT_FALSE(trace.FResolveHops);
    EXPECT_TRUE(trace.FServerList.empty());
    EXPECT_TRUE(trace.FCandidates.empty());
    EXPECT_EQ(trace.CurrentTarget(), "");
}

TEST(ControllerState, CurrentTargetFallsBackToTheDottedAddress) {
    TPingTrace trace;
    trace.FHost.Found = true;
    trace.FHost.Query = "typed text";
    trace.FHost.Address = Ipv4("192.168.0.1");
    EXPECT_EQ(trace.CurrentTarget(), "192.168.0.1");
    trace.FHost.HostName = "host.a.test";
    EXPECT_EQ(trace.CurrentTarget(), "host.a.test");
    trace.FHost.Found = false;
    EXPECT_EQ(trace.CurrentTarget(), "typed text");
}

TEST(ControllerState, WhoisEndedAtRestRaisesDoneOnce) {
    TPingTrace trace;
    EventLog log(trace);
    trace.FWhoisRunning = true;
    trace.WhoisEnded();
    EXPECT_EQ(log.Kinds(), "Done");
    EXPECT_FALSE(trace.FWhoisRunning);
}
