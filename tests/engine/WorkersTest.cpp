// The worker frame seen directly: hop lookups, the start-up pairing of every worker, and how
// a released controller treats its own and other controllers' workers.
#include "tests/engine/EngineHarness.h"
#include "tests/support/FakeServer.h"

#include "engine/Resolvers.h"
#include "platform/WinSock.h"

using namespace enginetest;
using testsupport::FakeServer;
using testsupport::Ipv4;
namespace sb = testsupport::sandbox;

namespace {

struct HopResult {
    int calls = 0;
    int32_t tag = 0;
    TagHostEnt host;
    TObject* sender = nullptr;
};

// Starts a hop lookup and pumps until it reports.
HopResult ResolveHop(int32_t tag, uint32_t address) {
    HopResult result;
    auto* worker = new TIPResolv(tag, address);
    worker->OnLookup = [&result](TObject* sender, int32_t t, const TagHostEnt& host) {
        ++result.calls;
        result.tag = t;
        result.host = host;
        result.sender = sender;
    };
    EXPECT_TRUE(PumpUntil([&] { return result.calls > 0; }, 5s));
    EXPECT_TRUE(WorkersGone());
    return result;
}

class Workers : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_SANDBOX(); }
};

TEST_F(Workers, HopWithANameReportsTheFullRecordAndItsTag) {
    HopResult r = ResolveHop(7, Ipv4(sb::kWhoisAAddr));
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.tag, 7);
    EXPECT_NE(r.sender, nullptr);
    EXPECT_TRUE(r.host.Found);
    EXPECT_EQ(r.host.Query, ""); // a hop lookup has no query text
    EXPECT_EQ(r.host.HostName, sb::kWhoisA);
    EXPECT_EQ(r.host.Address, Ipv4(sb::kWhoisAAddr));
    EXPECT_EQ(r.host.Addresses, std::vector<uint32_t>{Ipv4(sb::kWhoisAAddr)});
}

TEST_F(Workers, HopWithoutANameIsUnknownButKeepsItsAddress) {
    HopResult r = ResolveHop(3, Ipv4(sb::kNamelessAddr));
    EXPECT_EQ(r.tag, 3);
    EXPECT_FALSE(r.host.Found);
    EXPECT_EQ(r.host.HostName, "...(unknown)");
    EXPECT_EQ(r.host.Address, Ipv4(sb::kNamelessAddr));
    EXPECT_TRUE(r.host.Aliases.empty());
}

TEST_F(Workers, HopWithoutWinSockReportsAClearedRecord) {
    winsock::InjectStartupFailure(winsock::WSASYSNOTREADY);
    HopResult r = ResolveHop(9, Ipv4(sb::kWhoisAAddr));
    winsock::InjectStartupFailure(0);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.tag, 9);
    EXPECT_FALSE(r.host.Found);
    EXPECT_EQ(r.host.HostName, "");
    EXPECT_EQ(r.host.Address, 0u);
}

TEST_F(Workers, EveryStartUpIsPairedWithACleanUp) {
    const int before = winsock::StartupCount();
    {
        TPingTrace trace;
        EventLog log{trace};
        FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer("answer\r\n"));
        trace.WhoisResolve(sb::kWhoisA, "a.test");
        trace.Lookup(sb::kNamelessAddr);
        ASSERT_TRUE(WaitFor(log, "WhoisResult"));
        ASSERT_TRUE(WaitFor(log, "Done"));
        ASSERT_TRUE(WorkersGone());
        ASSERT_TRUE(PumpUntil([] { return platform::Thread::LiveCount() == 0; }, 3s));
        EXPECT_EQ(winsock::StartupCount(), before);

        // A failed start-up is not cleaned up, so it takes nothing from the others.
        winsock::InjectStartupFailure(winsock::WSASYSNOTREADY);
        trace.Lookup(sb::kWhoisA);
        ASSERT_TRUE(WaitFor(log, "Resolved"));
        winsock::InjectStartupFailure(0);
        ASSERT_TRUE(PumpUntil([] { return platform::Thread::LiveCount() == 0; }, 3s));
    }
    EXPECT_EQ(winsock::StartupCount(), before);
}

TEST_F(Workers, WhoisEndedDuringAnOperationRaisesNothing) {
    FakeServer silent(sb::kSmtpAAddr, 25, FakeServer::Silence());
    TPingTrace trace;
    EventLog log{trace};
    trace.Smtp(sb::kSmtpA, "EXPN x"); // leaves the controller busy
    ASSERT_TRUE(WaitFor(log, "Resolved"));
    EXPECT_FALSE(trace.FIdle);
    trace.FWhoisRunning = true;
    log.events.clear();
    trace.WhoisEnded();
    EXPECT_FALSE(trace.FWhoisRunning);
    EXPECT_EQ(log.Kinds(), "");
    trace.Stop();
    EXPECT_TRUE(WorkersGone());
}

TEST_F(Workers, ReleasedControllerEndsOnlyItsOwnWorkers) {
    FakeServer slow(
        sb::kWhoisAAddr, 43,
        FakeServer::Chunks({"first\r\n", "second\r\n"}, std::chrono::milliseconds(400)));
    TPingTrace survivor;
    EventLog survivorLog{survivor};
    auto doomed = std::make_unique<TPingTrace>();
    int doomedEvents = 0;
    doomed->OnWhoisResult = [&](TObject*, int32_t, const std::string&, const std::string&) {
        ++doomedEvents;
    };
    doomed->OnResolved = [&](TObject*, uint8_t, const TagHostEnt&) { ++doomedEvents; };
    survivor.WhoisResolve(sb::kWhoisA, "a.test");
    doomed->WhoisResolve(sb::kWhoisA, "b.test");
    ASSERT_TRUE(PumpUntil([&] { return slow.Connections() >= 2; }, 5s));
    doomedEvents = 0;
    doomed.reset();
    ASSERT_TRUE(WaitFor(survivorLog, "WhoisResult"));
    EXPECT_EQ(survivorLog.First("WhoisResult").code, 0);
    EXPECT_EQ(survivorLog.First("WhoisResult").text2, "first\r\nsecond\r\n");
    EXPECT_EQ(doomedEvents, 0);
    EXPECT_TRUE(WorkersGone());
}

} // namespace
