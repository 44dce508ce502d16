// Ping and trace through a real chain of network namespaces, once with raw ICMP sockets and
// twice as an ordinary user would run them: the program starts itself again without
// CAP_NET_RAW, so the probes fall back to the kernel's ICMP datagram sockets, or, where
// ping_group_range leaves those off, to the probe helper that holds the capability. Each both
// over IPv4 and over IPv6 (ICMPv6).
#include "tests/engine/EngineHarness.h"
#include "tests/support/HopNetwork.h"
#include "tests/support/LookupGate.h"

#include "engine/IcmpProbe.h"
#include "engine/ProbeHelper.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <tuple>

#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace enginetest;
using testsupport::HopNetwork;
using testsupport::HopNetworkOptions;

namespace {

enum class Sockets { Raw, Datagram, Helper };

bool InRawlessChild() {
    return std::getenv("ZW_DROP_NET_RAW") != nullptr;
}

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

class ProbeNetwork : public ::testing::TestWithParam<std::tuple<Sockets, int>> {
protected:
    static int Family() { return std::get<1>(GetParam()); }
    std::string Target() const { return net_->TargetAddress(Family()); }

    // In the datagram mode the parent only runs the same test in a child without raw
    // sockets and reports its outcome; true then means "done here".
    bool RanInChild() {
        if (std::get<0>(GetParam()) == Sockets::Raw || InRawlessChild())
            return false;
        const bool helper = std::get<0>(GetParam()) == Sockets::Helper;
        std::string output;
        const int status = testsupport::RunShell(
            std::string("ZW_DROP_NET_RAW=") + (helper ? "helper" : "1") + " exec /proc/" +
                std::to_string(::getpid()) + "/exe --gtest_filter='" + CurrentTestName() + "'",
            &output);
        if (output.find("[  SKIPPED ]") != std::string::npos)
            ADD_FAILURE() << "skipped without raw sockets:\n" << output;
        EXPECT_EQ(status, 0) << output;
        return true;
    }

    // Builds the network; in the child also checks that raw sockets are really refused and
    // opens ping_group_range inside the client's namespace, as an administrator would.
    bool Build(const HopNetworkOptions& options, bool openPingGroup = true) {
        if (!testsupport::NetSandboxAvailable()) {
            skip_ = testsupport::NetSandboxReason();
            return false;
        }
        net_ = std::make_unique<HopNetwork>(options);
        if (!net_->Ok()) {
            skip_ = net_->Error();
            return false;
        }
        if (InRawlessChild()) {
            const int s = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
            EXPECT_LT(s, 0) << "raw sockets are still allowed";
            if (s >= 0)
                ::close(s);
            const bool helper = std::get<0>(GetParam()) == Sockets::Helper;
            const char* range = openPingGroup && !helper ? "0 2147483647" : "1 0";
            EXPECT_EQ(
                net_->RunIn(0, std::string("sysctl -qw net.ipv4.ping_group_range='") + range + "'"),
                0);
        }
        return true;
    }

    std::unique_ptr<HopNetwork> net_;
    std::string skip_;
};

#define BUILD_OR_SKIP(...)                                                                         \
    if (RanInChild())                                                                              \
        return;                                                                                    \
    if (!Build(__VA_ARGS__))                                                                       \
    GTEST_SKIP() << skip_

std::vector<const Event*> Hops(const EventLog& log) {
    std::vector<const Event*> hops;
    for (const auto& e : log.events)
        if (e.kind == "TraceHop")
            hops.push_back(&e);
    return hops;
}

TEST_P(ProbeNetwork, TraceReportsBothRoutersThenTheTargetWithHopNames) {
    BUILD_OR_SKIP(HopNetworkOptions{});
    TPingTrace trace;
    EventLog log{trace};
    trace.FProbeTimeOut = 2;
    trace.FResolveHops = true;
    trace.Trace(HopNetwork::TargetName(Family()));
    ASSERT_TRUE(WaitFor(log, "Done", 20s)) << log.Kinds();
    const auto hops = Hops(log);
    ASSERT_EQ(hops.size(), 3u) << log.Kinds();
    const std::string expected[] = {HopNetwork::RouterAddress(1, Family()),
                                    HopNetwork::RouterAddress(2, Family()), Target()};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(hops[i]->seq, int32_t(i + 1));
        EXPECT_EQ(hops[i]->status, 1);
        EXPECT_GE(hops[i]->replyTime, 0);
        EXPECT_EQ(hops[i]->address, expected[i]) << i;
    }
    // The routers are looked up, the target is not; the end comes after the last lookup.
    EXPECT_EQ(log.Count("HopResolved"), 2);
    for (const auto& e : log.events) {
        if (e.kind == "HopResolved") {
            EXPECT_EQ(e.host.HostName, HopNetwork::RouterName(e.seq, Family()));
        }
    }
    const std::string kinds = log.Kinds();
    EXPECT_EQ(kinds.substr(0, 26), "Start LookupStart Resolved");
    EXPECT_EQ(kinds.substr(kinds.size() - 13), "TraceEnd Done");
    EXPECT_EQ(log.Count("Done"), 1);
    EXPECT_TRUE(trace.FIdle);
    EXPECT_FALSE(trace.FProbeBusy);
    EXPECT_TRUE(WorkersGone());
}

TEST_P(ProbeNetwork, ASilentRouterTimesOutAndTheTraceGoesOn) {
    HopNetworkOptions options;
    options.silentRouters = {1};
    BUILD_OR_SKIP(options);
    TPingTrace trace;
    EventLog log{trace};
    trace.FProbeTimeOut = 1;
    trace.Trace(Target());
    ASSERT_TRUE(WaitFor(log, "Done", 20s)) << log.Kinds();
    const auto hops = Hops(log);
    ASSERT_EQ(hops.size(), 3u) << log.Kinds();
    EXPECT_EQ(hops[0]->status, 3);
    EXPECT_EQ(hops[0]->replyTime, -1);
    EXPECT_EQ(hops[1]->address, HopNetwork::RouterAddress(2, Family()));
    EXPECT_EQ(hops[2]->address, Target());
    EXPECT_EQ(log.Count("HopResolved"), 0); // not asked for
}

TEST_P(ProbeNetwork, ATargetThatIgnoresEchoesIsTracedThroughAll255Ttls) {
    HopNetworkOptions options;
    options.routers = 1;
    options.targetIgnoresEchoes = true;
    BUILD_OR_SKIP(options);
    TPingTrace trace;
    EventLog log{trace};
    trace.FProbeTimeOut = 0;
    trace.Trace(Target());
    ASSERT_TRUE(WaitFor(log, "Done", 60s)) << log.Kinds();
    const auto hops = Hops(log);
    ASSERT_EQ(hops.size(), 255u);
    for (size_t i = 1; i < hops.size(); ++i) {
        EXPECT_EQ(hops[i]->seq, int32_t(i + 1));
        EXPECT_EQ(hops[i]->status, 3) << i;
    }
    EXPECT_EQ(log.Count("TraceEnd"), 1);
}

TEST_P(ProbeNetwork, AnAddressNoHostHoldsIsUnreachableNeverAReply) {
    BUILD_OR_SKIP(HopNetworkOptions{});
    // Neighbour discovery gives up after one probe (ARP, NDP: about 1 s).
    ASSERT_EQ(net_->RunIn(2, "sysctl -qw net.ipv4.neigh.zwl2.mcast_solicit=1 "
                             "net.ipv6.neigh.zwl2.mcast_solicit=1"),
              0);
    const std::string nobody = net_->UnheldAddress(Family());
    TPingTrace trace;
    EventLog log{trace};
    trace.FEchoCount = 1;
    trace.FProbeTimeOut = 2;
    trace.Ping(nobody);
    ASSERT_TRUE(WaitFor(log, "Done"));
    EXPECT_EQ(log.First("EchoReply").status, 3);
    trace.Trace(nobody);
    ASSERT_TRUE(PumpUntil([&] { return log.Count("Done") == 2; })) << log.Kinds();
    const auto hops = Hops(log);
    ASSERT_EQ(hops.size(), 3u) << log.Kinds();
    EXPECT_EQ(hops[2]->status, 4);
    EXPECT_EQ(hops[2]->address, HopNetwork::RouterAddress(2, Family()));
}

TEST_P(ProbeNetwork, PingSeriesAnswersEachEchoInTurn) {
    BUILD_OR_SKIP(HopNetworkOptions{});
    TPingTrace trace;
    EventLog log{trace};
    trace.FEchoCount = 3;
    trace.FProbeTimeOut = 2;
    trace.Ping(Target());
    for (int seq = 1; seq <= 3; ++seq) {
        ASSERT_TRUE(PumpUntil([&] { return log.Count("EchoReply") == seq; }, 10s)) << log.Kinds();
        if (seq < 3) {
            EXPECT_EQ(log.Count("Done"), 0);
            trace.PingContinue();
        }
    }
    ASSERT_TRUE(WaitFor(log, "Done"));
    int seq = 0;
    for (const auto& e : log.events) {
        if (e.kind == "EchoReply") {
            EXPECT_EQ(e.seq, ++seq);
            EXPECT_EQ(e.status, 1);
            EXPECT_GE(e.replyTime, 0);
            EXPECT_EQ(HostAddressText(e.host), Target());
        }
    }
    EXPECT_EQ(trace.FEchoSerial, 3);
}

TEST_P(ProbeNetwork, EchoesToAnIgnoringTargetTimeOutAndStillCount) {
    HopNetworkOptions options;
    options.targetIgnoresEchoes = true;
    BUILD_OR_SKIP(options);
    TPingTrace trace;
    EventLog log{trace};
    trace.FEchoCount = 1;
    trace.FProbeTimeOut = 1;
    const Ms took = Timed([&] {
        trace.Ping(Target());
        ASSERT_TRUE(WaitFor(log, "Done", 10s));
    });
    EXPECT_EQ(log.First("EchoReply").status, 3);
    EXPECT_EQ(log.First("EchoReply").replyTime, -1);
    EXPECT_GE(took, 900ms);
}

TEST_P(ProbeNetwork, StopEndsAWaitingEchoAtOnce) {
    HopNetworkOptions options;
    options.targetIgnoresEchoes = true;
    BUILD_OR_SKIP(options);
    TPingTrace trace;
    EventLog log{trace};
    trace.FEchoCount = 5;
    trace.FProbeTimeOut = 30;
    trace.Ping(Target());
    ASSERT_TRUE(WaitFor(log, "Resolved"));
    PumpFor(200ms);
    trace.Stop();
    EXPECT_TRUE(WorkersGone(1s));
    PumpFor(200ms);
    EXPECT_EQ(log.Count("EchoReply"), 0);
    EXPECT_EQ(log.Count("Done"), 1);
    EXPECT_FALSE(trace.FProbeBusy);
}

// Six routers, three of them silent: the rows a trace of one probe at a time would give, in
// TTL order, nothing past the target, and the silent hops given up on long before their
// time-out once a farther hop has answered. The hop limit cuts the same rows short.
TEST_P(ProbeNetwork, ALongPathPastSilentRoutersKeepsItsRowsAndTakesNoTimeOut) {
    HopNetworkOptions options;
    options.routers = 6;
    options.silentRouters = {2, 3, 5};
    BUILD_OR_SKIP(options);
    const struct {
        int32_t maxHops;
        size_t rows;
        bool ends; // the last row is the target's
    } cases[] = {{255, 7, true}, {7, 7, true}, {6, 6, false}, {3, 3, false}, {1, 1, false}};
    for (const auto& c : cases) {
        TPingTrace trace;
        EventLog log{trace};
        trace.FProbeTimeOut = 5;
        trace.FMaxHops = c.maxHops;
        const Ms took = Timed([&] {
            trace.Trace(Target());
            ASSERT_TRUE(WaitFor(log, "Done", 30s)) << log.Kinds();
        });
        const auto hops = Hops(log);
        ASSERT_EQ(hops.size(), c.rows) << c.maxHops << ": " << log.Kinds();
        for (size_t i = 0; i < hops.size(); ++i) {
            const int32_t ttl = int32_t(i + 1);
            const bool silent = ttl == 2 || ttl == 3 || ttl == 5;
            EXPECT_EQ(hops[i]->seq, ttl);
            EXPECT_EQ(hops[i]->status, silent ? 3 : 1) << ttl;
            if (!silent) {
                EXPECT_EQ(hops[i]->address,
                          ttl == 7 ? Target() : HopNetwork::RouterAddress(ttl, Family()))
                    << ttl;
            }
        }
        EXPECT_EQ(hops.back()->address == Target(), c.ends);
        EXPECT_EQ(log.Count("TraceEnd"), 1);
        // Past the target nothing more waits; short of it the last silent hop has no farther
        // answer and waits its whole time-out.
        if (c.ends) {
            EXPECT_LT(took, 2500ms) << c.maxHops;
        } else if (c.maxHops == 3) {
            EXPECT_GE(took, 4900ms);
        }
    }
}

// Stop in the middle of a window of probes in flight: the hops already settled stay, no
// other hop and no end of trace follow, and every probe ends at once.
TEST_P(ProbeNetwork, StopEndsEveryProbeInFlightAtOnce) {
    HopNetworkOptions options;
    options.routers = 6;
    options.silentRouters = {2, 3, 4, 5, 6};
    options.targetIgnoresEchoes = true;
    BUILD_OR_SKIP(options);
    TPingTrace trace;
    EventLog log{trace};
    trace.FProbeTimeOut = 30;
    trace.Trace(Target());
    ASSERT_TRUE(WaitFor(log, "TraceHop"));
    PumpFor(200ms);
    trace.Stop();
    EXPECT_TRUE(WorkersGone(1s));
    PumpFor(200ms);
    EXPECT_EQ(log.Kinds().substr(log.Kinds().size() - 13), "TraceHop Done");
    EXPECT_EQ(log.Count("TraceHop"), 1);
    EXPECT_EQ(log.Count("TraceEnd"), 0);
    EXPECT_TRUE(trace.FIdle);
}

TEST_P(ProbeNetwork, StopDuringHopLookupsRaisesNothingMore) {
    BUILD_OR_SKIP(HopNetworkOptions{});
    TPingTrace trace;
    EventLog log{trace};
    std::unique_ptr<testsupport::LookupGate> gate;
    auto record = trace.OnResolved;
    // Closed once the target is known, before the first hop's lookup can begin.
    trace.OnResolved = [&](TObject* s, uint8_t op, const TagHostEnt& host) {
        record(s, op, host);
        gate = std::make_unique<testsupport::LookupGate>();
    };
    trace.FProbeTimeOut = 2;
    trace.FResolveHops = true;
    trace.Trace(Target());
    ASSERT_TRUE(PumpUntil([&] { return log.Count("TraceHop") == 3; }, 10s)) << log.Kinds();
    ASSERT_TRUE(gate && gate->Closed()) << (gate ? gate->Error() : "");
    PumpFor(200ms);
    EXPECT_EQ(log.Count("TraceEnd"), 0); // the two router lookups are held
    EXPECT_EQ(trace.FPendingLookups, 2);
    trace.Stop();
    gate->Release();
    PumpFor(300ms);
    EXPECT_EQ(log.Count("HopResolved"), 0);
    EXPECT_EQ(log.Count("TraceEnd"), 0);
    EXPECT_EQ(log.Count("Done"), 1);
}

TEST_P(ProbeNetwork, ReplyTimesFollowASlowLink) {
    HopNetworkOptions options;
    options.routers = 1;
    options.oneWayDelay = std::chrono::milliseconds(10);
    BUILD_OR_SKIP(options);
    TPingTrace trace;
    EventLog log{trace};
    trace.FEchoCount = 5;
    trace.FProbeTimeOut = 2;
    trace.Ping(Target());
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (log.Count("Done") > 0)
                return true;
            if (!trace.FProbeBusy && log.Count("EchoReply") > 0)
                trace.PingContinue();
            return false;
        },
        20s));
    // Never below the line's 20 ms; the best of five near it even on a busy machine.
    int32_t best = INT32_MAX;
    for (const auto& e : log.events) {
        if (e.kind == "EchoReply") {
            EXPECT_EQ(e.status, 1);
            EXPECT_GE(e.replyTime, 20);
            best = std::min(best, e.replyTime);
        }
    }
    EXPECT_LE(best, 30);
}

TEST_P(ProbeNetwork, WithoutAnyIcmpSocketEchoesFailAndTracesEndAtOnce) {
    if (std::get<0>(GetParam()) != Sockets::Datagram)
        GTEST_SKIP() << "raw sockets are there";
    BUILD_OR_SKIP(HopNetworkOptions{}, false);
    TPingTrace trace;
    EventLog log{trace};
    trace.FEchoCount = 1;
    trace.Ping(Target());
    ASSERT_TRUE(WaitFor(log, "Done"));
    EXPECT_EQ(log.First("EchoReply").status, 2);
    EXPECT_EQ(log.First("EchoReply").replyTime, -1);
    EXPECT_TRUE(IcmpAccessRefused());
    log.events.clear();
    trace.Trace(Target());
    ASSERT_TRUE(WaitFor(log, "Done"));
    EXPECT_EQ(log.Kinds(), "Start LookupStart Resolved TraceEnd Done");
}

// A raw socket wakes only for the types a probe can use, and two sockets at once never carry
// the same identifier; a datagram socket has the kernel's and holds none.
TEST_P(ProbeNetwork, RawSocketsPassOnlyProbeTypesUnderTheirOwnIdentifier) {
    BUILD_OR_SKIP(HopNetworkOptions{});
    IcmpSocket first, second;
    ASSERT_TRUE(OpenIcmpSocket(first, Family()));
    ASSERT_TRUE(OpenIcmpSocket(second, Family()));
    EXPECT_EQ(first.Datagram, std::get<0>(GetParam()) == Sockets::Datagram);
    EXPECT_EQ(first.Helper != nullptr, std::get<0>(GetParam()) == Sockets::Helper);
    EXPECT_FALSE(IcmpAccessRefused()); // a socket of any kind was had
    if (first.Helper) {
        // Two helpers, each without any capability left once its sockets are open.
        ASSERT_TRUE(second.Helper);
        EXPECT_NE(first.Helper->Pid(), second.Helper->Pid());
        std::string status;
        testsupport::RunShell("cat /proc/" + std::to_string(first.Helper->Pid()) + "/status",
                              &status);
        for (const char* line :
             {"CapInh:\t0000000000000000", "CapPrm:\t0000000000000000", "CapEff:\t0000000000000000",
              "CapAmb:\t0000000000000000", "NoNewPrivs:\t1"})
            EXPECT_NE(status.find(line), std::string::npos) << line << "\n" << status;
    } else if (first.Datagram) {
        EXPECT_EQ(first.Reservation, -1);
    } else {
        EXPECT_GE(first.Reservation, 0);
        EXPECT_NE(first.WireIdent, second.WireIdent);
        for (int type = 0; type < 256; ++type) {
            bool passes;
            if (Family() == AF_INET6) {
                icmp6_filter filter;
                socklen_t length = sizeof filter;
                ASSERT_EQ(
                    ::getsockopt(first.Handle, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, &length), 0);
                passes = !ICMP6_FILTER_WILLBLOCK(type, &filter);
            } else {
                icmp_filter filter;
                socklen_t length = sizeof filter;
                ASSERT_EQ(::getsockopt(first.Handle, SOL_RAW, ICMP_FILTER, &filter, &length), 0);
                passes = type < 32 && (filter.data >> type & 1) == 0;
            }
            const bool wanted = Family() == AF_INET6 ? (type == 1 || type == 3 || type == 129)
                                                     : (type == 0 || type == 3 || type == 11);
            EXPECT_EQ(passes, wanted) << type;
        }
    }
    const pid_t helper = first.Helper ? first.Helper->Pid() : 0;
    EXPECT_TRUE(CloseIcmpSocket(first));
    EXPECT_TRUE(CloseIcmpSocket(second));
    // The helper ends with its socket, and is reaped.
    if (helper > 0) {
        EXPECT_TRUE(::kill(helper, 0) == -1 && errno == ESRCH);
    }
}

INSTANTIATE_TEST_SUITE_P(Sockets, ProbeNetwork,
                         ::testing::Combine(::testing::Values(Sockets::Raw, Sockets::Datagram,
                                                              Sockets::Helper),
                                            ::testing::Values(AF_INET, AF_INET6)),
                         [](const auto& info) {
                             const Sockets kind = std::get<0>(info.param);
                             return std::string(kind == Sockets::Raw        ? "Raw"
                                                : kind == Sockets::Datagram ? "Datagram"
                                                                            : "Helper") +
                                    (std::get<1>(info.param) == AF_INET6 ? "6" : "4");
                         });

} // namespace
