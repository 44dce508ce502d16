// The controller's ping series rules, against loopback in the program's own namespace.
#include "tests/engine/EngineHarness.h"

using namespace enginetest;
namespace sb = testsupport::sandbox;

namespace {

class PingSequence : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_SANDBOX();
        trace_.FProbeTimeOut = 2;
    }
    // Runs a series to its OnDone, continuing after each reply as the window does.
    void RunSeries(int32_t count) {
        trace_.FEchoCount = count;
        trace_.Ping(sb::kWhoisAAddr);
        ASSERT_TRUE(PumpUntil(
            [&] {
                if (log_.Count("Done") > 0)
                    return true;
                if (!trace_.FProbeBusy && log_.Count("EchoReply") > 0)
                    trace_.PingContinue();
                return false;
            },
            10s))
            << log_.Kinds();
    }
    TPingTrace trace_;
    EventLog log_{trace_};
};

TEST_F(PingSequence, SeriesNumberEchoesAndCountIdentifiersAcrossSeries) {
    RunSeries(3);
    EXPECT_EQ(log_.Kinds(), "Start LookupStart Resolved EchoReply Start EchoReply Start "
                            "EchoReply Done");
    EXPECT_EQ(trace_.FEchoSerial, 3);
    trace_.Stop();
    log_.events.clear();
    RunSeries(2);
    EXPECT_EQ(log_.Count("EchoReply"), 2);
    EXPECT_EQ(log_.events.back().kind, "Done");
    // 260 and 261 went out: the serial is never reset.
    EXPECT_EQ(trace_.FEchoSerial, 5);
    EXPECT_EQ(trace_.FEchoSent, 2);
}

TEST_F(PingSequence, ACountOfZeroStillSendsTheFirstEcho) {
    trace_.FEchoCount = 0;
    trace_.Ping(sb::kWhoisAAddr);
    ASSERT_TRUE(WaitFor(log_, "Done"));
    EXPECT_EQ(log_.Kinds(), "Start LookupStart Resolved EchoReply Done");
    EXPECT_EQ(log_.First("EchoReply").seq, 1);
    EXPECT_EQ(log_.First("EchoReply").status, 1);
}

TEST_F(PingSequence, ContinueWhileAnEchoIsOutstandingSendsNothing) {
    trace_.FEchoCount = 2;
    trace_.Ping(sb::kWhoisAAddr);
    ASSERT_TRUE(WaitFor(log_, "Resolved"));
    ASSERT_TRUE(trace_.FProbeBusy); // echo 1 is out
    log_.events.clear();
    trace_.PingContinue();
    EXPECT_EQ(log_.Kinds(), "Start Done");
    ASSERT_TRUE(WaitFor(log_, "EchoReply"));
    PumpFor(100ms);
    EXPECT_EQ(log_.Count("EchoReply"), 1);
    EXPECT_EQ(trace_.FEchoSent, 1);
}

TEST_F(PingSequence, ContinueAfterALookupOrATraceOnlyEnds) {
    trace_.Lookup(sb::kWhoisA);
    ASSERT_TRUE(WaitFor(log_, "Done"));
    log_.events.clear();
    trace_.PingContinue();
    EXPECT_EQ(log_.Kinds(), "Done");
}

TEST_F(PingSequence, ATargetWithoutAddressEndsWithoutProbing) {
    for (bool ping : {true, false}) {
        log_.events.clear();
        if (ping)
            trace_.Ping(sb::kUnknown);
        else
            trace_.Trace(sb::kUnknown);
        ASSERT_TRUE(WaitFor(log_, "Done"));
        EXPECT_EQ(log_.Kinds(), "Start LookupStart Resolved Done") << ping;
        EXPECT_FALSE(log_.First("Resolved").host.Found);
        EXPECT_EQ(trace_.FEchoSerial, 0);
    }
}

TEST_F(PingSequence, ATraceToALocalAddressIsOneHopWithoutLookup) {
    trace_.FResolveHops = true;
    trace_.Trace(sb::kWhoisAAddr);
    ASSERT_TRUE(WaitFor(log_, "Done"));
    EXPECT_EQ(log_.Kinds(), "Start LookupStart Resolved TraceHop TraceEnd Done");
    const Event& hop = log_.First("TraceHop");
    EXPECT_EQ(hop.seq, 1);
    EXPECT_EQ(hop.status, 1);
    EXPECT_EQ(hop.address, sb::kWhoisAAddr);
    EXPECT_TRUE(trace_.FIdle);
    EXPECT_FALSE(trace_.FTracing);
}

TEST_F(PingSequence, ATraceEndingWhileAWhoisRunsHoldsItsEnd) {
    trace_.FWhoisRunning = true; // as when the window asked WHOIS of the target
    trace_.Trace(sb::kWhoisAAddr);
    ASSERT_TRUE(WaitFor(log_, "TraceHop"));
    ASSERT_TRUE(PumpUntil([&] { return !trace_.FTracing; }, 5s));
    EXPECT_EQ(log_.Count("TraceEnd"), 0);
    EXPECT_EQ(log_.Count("Done"), 0);
    EXPECT_TRUE(trace_.FIdle);
    EXPECT_FALSE(trace_.FProbeBusy);
    trace_.WhoisEnded();
    EXPECT_EQ(log_.Count("Done"), 1);
}

} // namespace
