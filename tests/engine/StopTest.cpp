// Stop at every stage of an operation: it returns at once even when a worker is blocked in
// the resolver, in connect, or waiting for a silent server; it raises OnDone once; and no
// event of an ended worker arrives afterwards.
#include "tests/engine/EngineHarness.h"
#include "tests/support/BlackHole.h"
#include "tests/support/FakeServer.h"
#include "tests/support/LookupGate.h"

#include <memory>

using namespace enginetest;
using testsupport::BlackHole;
using testsupport::FakeServer;
using testsupport::LookupGate;
namespace sb = testsupport::sandbox;

namespace {

constexpr Ms kPromptly = 100ms;

// The engine needs the main thread to get its workers going, so wait by pumping it.
bool Connected(const FakeServer& server) {
    return PumpUntil([&] { return server.Connections() > 0; }, 5s);
}

class StopRun : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_SANDBOX(); }

    // Stops, checks the time it took and that OnDone came once from the controller, then
    // pumps for a while and checks that nothing else arrived.
    void StopAndExpectSilence(Ms quiet = 700ms) {
        const size_t before = log.events.size();
        EXPECT_LT(Timed([&] { trace.Stop(); }), kPromptly);
        ASSERT_EQ(log.events.size(), before + 1) << "events: " << log.Kinds();
        EXPECT_EQ(log.events.back().kind, "Done");
        EXPECT_EQ(log.events.back().sender, &trace);
        EXPECT_TRUE(trace.FIdle);
        EXPECT_FALSE(trace.FWhoisRunning);
        EXPECT_FALSE(trace.FProbeBusy);
        PumpFor(quiet);
        EXPECT_EQ(log.events.size(), before + 1) << "late events: " << log.Kinds();
        EXPECT_EQ(WorkerThreads.Count(), 0);
    }

    TPingTrace trace;
    EventLog log{trace};
};

} // namespace

TEST_F(StopRun, WhileIdleRaisesDoneOnly) {
    StopAndExpectSilence(50ms);
    EXPECT_EQ(log.Kinds(), "Done");
}

TEST_F(StopRun, LookupHeldInTheResolver) {
    LookupGate gate;
    ASSERT_TRUE(gate.Closed()) << gate.Error();
    trace.Lookup(sb::kWhoisA);
    PumpFor(200ms); // the worker is now inside the resolver, held by the gate
    EXPECT_EQ(log.Kinds(), "Start LookupStart");
    StopAndExpectSilence(200ms);
    // The held lookup now finishes inside the resolver; its result must still be dropped.
    gate.Release();
    PumpFor(500ms);
    EXPECT_EQ(log.Kinds(), "Start LookupStart Done");
}

TEST_F(StopRun, LookupWhoseResultIsAlreadyOnItsWay) {
    // Without pumping, the lookup's result can only be waiting for the main thread.
    trace.Lookup(sb::kWhoisA);
    std::this_thread::sleep_for(100ms);
    StopAndExpectSilence();
    EXPECT_EQ(log.Count("Resolved"), 0);
}

TEST_F(StopRun, NewOperationRunsNormallyAfterStop) {
    LookupGate gate;
    trace.Lookup(sb::kWhoisA);
    PumpFor(100ms);
    trace.Stop();
    gate.Release();
    log.events.clear();
    trace.Lookup(sb::kWhoisB);
    ASSERT_TRUE(WaitFor(log, "Done"));
    EXPECT_EQ(log.Kinds(), "Start LookupStart Resolved Done");
    EXPECT_EQ(log.First("Resolved").host.HostName, sb::kWhoisB);
}

TEST_F(StopRun, WhoisConnectToAnAddressThatNeverAnswers) {
    BlackHole hole(sb::kBlackHoleAddr, 43);
    ASSERT_TRUE(hole.Ready()) << hole.Error();
    trace.WhoisResolve(sb::kBlackHole, "a.test");
    ASSERT_TRUE(WaitFor(log, "WhoisStart"));
    PumpFor(200ms); // in connect, whose SYNs are dropped
    EXPECT_EQ(log.Kinds(), "Start Resolved WhoisStart");
    StopAndExpectSilence(1500ms);
}

TEST_F(StopRun, WhoisWaitingOnASilentServer) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Silence());
    trace.WhoisResolve(sb::kWhoisA, "a.test");
    ASSERT_TRUE(Connected(server));
    PumpFor(200ms); // the query is sent; the worker waits in select
    EXPECT_EQ(server.AllReceived(), "a.test\r\n");
    StopAndExpectSilence();
    // The ended worker has let its connection go rather than waiting out its 5 seconds.
    EXPECT_TRUE(server.WaitFinished(1, 1s));
}

TEST_F(StopRun, WhoisBetweenChunksOfAnAnswer) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::PartThenSilence("first part\r\n"));
    trace.WhoisResolve(sb::kWhoisA, "a.test");
    ASSERT_TRUE(Connected(server));
    PumpFor(300ms);
    StopAndExpectSilence();
    EXPECT_TRUE(server.WaitFinished(1, 1s));
}

TEST_F(StopRun, SmtpWaitingOnASilentServer) {
    FakeServer::Options options;
    options.greeting = "220 smtp.a.test\r\n";
    options.requestEnd = "QUIT\r\n";
    FakeServer server(sb::kSmtpAAddr, 25, FakeServer::Silence(), options);
    trace.Smtp(sb::kSmtpA, "EXPN x");
    ASSERT_TRUE(Connected(server));
    PumpFor(200ms);
    StopAndExpectSilence();
    EXPECT_TRUE(server.WaitFinished(1, 1s));
}

TEST_F(StopRun, ResultAlreadyOnItsWayIsDropped) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer("answer\r\n"));
    trace.WhoisResolve(sb::kWhoisA, "a.test");
    ASSERT_TRUE(WaitFor(log, "WhoisStart"));
    // The client closes after the answer: its result is then waiting for the main thread.
    ASSERT_TRUE(server.WaitFinished(1, 5s));
    std::this_thread::sleep_for(50ms);
    StopAndExpectSilence();
    EXPECT_EQ(log.Count("WhoisResult"), 0);
}

// Stop from the event that reports the server found: the step's start does not follow it.
TEST_F(StopRun, FromTheFoundServersEventNoStartFollows) {
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer("answer\r\n"));
    trace.OnResolved = [this](TObject*, uint8_t, const TagHostEnt&) { trace.Stop(); };
    trace.WhoisResolve(sb::kWhoisA, "a.test");
    PumpFor(700ms);
    EXPECT_EQ(log.Kinds(), "Start Done");
}

TEST_F(StopRun, ManyWorkersBlockedAtOnce) {
    BlackHole hole(sb::kBlackHoleAddr, 43);
    FakeServer silent(sb::kWhoisAAddr, 43, FakeServer::Silence());
    TPingTrace other;
    EventLog otherLog(other);
    trace.WhoisResolve(sb::kBlackHole, "a.test");
    other.WhoisResolve(sb::kWhoisA, "b.test");
    ASSERT_TRUE(Connected(silent));
    ASSERT_TRUE(WaitFor(log, "WhoisStart"));
    {
        LookupGate gate;
        trace.Lookup(sb::kWhoisB);
        PumpFor(200ms);
        EXPECT_GE(WorkerThreads.Count(), 3);
        // Stop ends the workers of every controller.
        StopAndExpectSilence(300ms);
        EXPECT_EQ(otherLog.Count("WhoisResult"), 0);
    }
    PumpFor(300ms);
    EXPECT_EQ(otherLog.Count("WhoisResult"), 0);
}

TEST_F(StopRun, ControllerReleasedWhileItsWorkerRuns) {
    // Closing the window releases the controller with workers still going: their results
    // must not reach it (a sanitizer build turns any use of it into a failure).
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Chunks({"", "late answer\r\n"}, 300ms));
    bool reached = false;
    {
        auto doomed = std::make_unique<TPingTrace>();
        doomed->OnWhoisResult = [&](TObject*, int32_t, const std::string&, const std::string&) {
            reached = true;
        };
        doomed->OnDone = [&](TObject*) { reached = true; };
        doomed->WhoisResolve(sb::kWhoisA, "a.test");
        ASSERT_TRUE(Connected(server));
    }
    PumpFor(800ms);
    EXPECT_FALSE(reached);
    EXPECT_TRUE(WorkersGone());
}
