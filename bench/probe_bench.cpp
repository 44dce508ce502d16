// Ping and trace measured against the system's own tools on the same namespace network (see
// tests/support/HopNetwork), in the same run:
//
// Reply-time accuracy: a path whose client link is delayed 10 ms each way by a user-space
// delay line (20 ms round trip); the median of our echo reply times against the median of
// iputils ping's, over IPv4 and over IPv6 (ICMPv6 against `ping -6`) on the same line. Goal:
// within 1 ms for each.
// Trace wall time: a 10-hop chain (9 routers and the target); our trace from its start to
// OnDone against `traceroute -I -n -q 1 -N 1` (one probe at a time, as ours). Goal: ratio
// 1.2 or less.
//
// Trace with owners against without: the same trace with each hop's owner asked of a fake
// IP-to-AS service on loopback. Goal: ratio 1.2 or less.
//
// Runs as root (raw sockets, namespaces). Needs iputils-ping and traceroute (scripts/deps.sh).
#include "engine/PingCtrl.h"
#include "platform/HeadlessMainThread.h"
#include "tests/support/FakeServer.h"
#include "tests/support/HopNetwork.h"
#include "tests/support/NetSandbox.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using testsupport::HopNetwork;
using testsupport::HopNetworkOptions;
using Clock = std::chrono::steady_clock;

namespace {

platform::HeadlessMainThread* g_main = nullptr;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty())
        return -1;
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Our reply times: one TEcho at a time, as a ping series sends them.
std::vector<double> OurReplyTimes(const std::string& target, int count, int family) {
    TagHostEnt host;
    host.Found = true;
    TIn6Addr address6;
    if (family == AF_INET6 && ParseIPv6(target, address6))
        host.Addresses6 = {address6};
    else
        host.Address = testsupport::Ipv4(target.c_str());
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        bool done = false;
        auto* echo = new TEcho(host, 257 + i, i + 1);
        echo->FReplyTimeOut = 2;
        echo->OnReply = [&](TObject*, uint8_t status, const tagPACKET& packet) {
            if (status == 1)
                times.push_back(packet.ReplyTime);
            done = true;
        };
        g_main->RunUntil([&] { return done; }, 5s);
        g_main->RunUntil([] { return false; }, 200ms);
    }
    return times;
}

std::vector<double> PingReplyTimes(const std::string& target, int count, int family) {
    std::string output;
    testsupport::RunShell(std::string(family == AF_INET6 ? "ping -6" : "ping -4") + " -n -c " +
                              std::to_string(count) + " -i 0.2 " + target,
                          &output);
    std::vector<double> times;
    for (size_t at = output.find("time="); at != std::string::npos;
         at = output.find("time=", at + 5))
        times.push_back(std::atof(output.c_str() + at + 5));
    if (times.empty())
        std::fprintf(stderr, "ping gave no times:\n%s\n", output.c_str());
    return times;
}

// owners: each hop's owner asked of the AS service at 127.0.0.1 (the trace's end waits for it).
double OurTraceSeconds(const std::string& target, int* hops, bool owners = false, int timeOut = 2) {
    TPingTrace trace;
    bool done = false;
    *hops = 0;
    int owned = 0;
    trace.FTraceOwners = owners;
    trace.FAsServer = "127.0.0.1";
    trace.OnHopOwner = [&](TObject*, int32_t, const hopowner::Lookup& lookup) {
        owned += lookup.status == hopowner::Lookup::Status::Found;
    };
    trace.OnTraceHop = [&](TObject*, int32_t, uint8_t, int32_t, const std::string&) { ++*hops; };
    trace.OnDone = [&](TObject*) { done = true; };
    trace.FProbeTimeOut = timeOut;
    const auto start = Clock::now();
    trace.Trace(target);
    g_main->RunUntil([&] { return done; }, 60s);
    if (owners && owned == 0)
        std::fprintf(stderr, "no hop got its owner\n");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A bulk IP-to-AS service on 127.0.0.1:43 that answers each address after `delay`, as a
// service that far away would.
std::unique_ptr<testsupport::FakeServer> AsService(std::chrono::milliseconds delay) {
    testsupport::FakeServer::Options options;
    options.requestEnd = "end\n";
    options.lifetime = 600s;
    return std::make_unique<testsupport::FakeServer>(
        "127.0.0.1", 43,
        [delay](const std::string& request) {
            testsupport::FakeReply reply;
            std::string answer;
            for (size_t at = request.find("198.18."); at != std::string::npos;
                 at = request.find("198.18.", at + 1)) {
                const std::string address = request.substr(at, request.find('\n', at) - at);
                answer += "64500 | " + address + " | 198.18.0.0/15 | JP | apnic | 2001 | BENCH\n";
            }
            reply.chunks = {std::string(), answer};
            reply.gap = delay;
            return reply;
        },
        options);
}

// Trace wall time with owners against without, alternating, on `net`'s target.
void OwnersRatio(const char* name, const HopNetwork& net, std::chrono::milliseconds delay,
                 int timeOut) {
    const auto service = AsService(delay);
    std::vector<double> with, without;
    int hops = 0;
    for (int round = 0; round < 5; ++round) {
        without.push_back(OurTraceSeconds(net.TargetAddress(), &hops, false, timeOut));
        with.push_back(OurTraceSeconds(net.TargetAddress(), &hops, true, timeOut));
    }
    std::printf("%s: with owners median %.2f ms, without %.2f ms (%d hops, service answers after "
                "%lld ms), ratio %.2f (goal 1.2 or less)\n",
                name, Median(with) * 1000, Median(without) * 1000, hops,
                static_cast<long long>(delay.count()), Median(with) / Median(without));
}

double TracerouteSeconds(const std::string& target, int* hops) {
    std::string output;
    const auto start = Clock::now();
    testsupport::RunShell("traceroute -I -n -q 1 -N 1 -w 2 " + target, &output);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    *hops = int(std::count(output.begin(), output.end(), '\n')) - 1;
    return seconds;
}

} // namespace

int main() {
    std::string reason;
    if (!testsupport::EnterNetSandbox(&reason)) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }
    platform::HeadlessMainThread mainThread;
    g_main = &mainThread;
    platform::InstallMainThread(&mainThread);
    int rc = 0;
    {
        HopNetworkOptions options;
        options.routers = 1;
        options.oneWayDelay = 10ms;
        HopNetwork net(options);
        if (!net.Ok()) {
            std::fprintf(stderr, "%s\n", net.Error().c_str());
            return 1;
        }
        constexpr int kEchoes = 60;
        for (int family : {AF_INET, AF_INET6}) {
            const std::string target = net.TargetAddress(family);
            // Echo by echo in turn, so both see the same conditions of the machine.
            std::vector<double> ours, theirs;
            for (int round = 0; round < kEchoes; ++round) {
                const auto a = OurReplyTimes(target, 1, family);
                const auto b = PingReplyTimes(target, 1, family);
                ours.insert(ours.end(), a.begin(), a.end());
                theirs.insert(theirs.end(), b.begin(), b.end());
            }
            const double diff = Median(ours) - Median(theirs);
            std::printf("ReplyTimeAccuracy%s: ours median %.2f ms (%zu replies), ping median "
                        "%.2f ms (%zu replies), difference %.2f ms (goal within 1 ms)\n",
                        family == AF_INET6 ? "IPv6" : "", Median(ours), ours.size(), Median(theirs),
                        theirs.size(), diff);
            if (ours.size() < kEchoes || theirs.size() < kEchoes || std::abs(diff) > 1.0)
                rc = 2;
        }
    }
    {
        HopNetworkOptions options;
        options.routers = 9;
        HopNetwork net(options);
        if (!net.Ok()) {
            std::fprintf(stderr, "%s\n", net.Error().c_str());
            return 1;
        }
        std::vector<double> ours, theirs;
        int ourHops = 0, theirHops = 0;
        for (int round = 0; round < 5; ++round) {
            ours.push_back(OurTraceSeconds(net.TargetAddress(), &ourHops));
            theirs.push_back(TracerouteSeconds(net.TargetAddress(), &theirHops));
        }
        const double ratio = Median(ours) / Median(theirs);
        std::printf("TraceWallTime: ours median %.2f ms (%d hops), traceroute median %.2f ms "
                    "(%d hops), ratio %.2f (goal 1.2 or less)\n",
                    Median(ours) * 1000, ourHops, Median(theirs) * 1000, theirHops, ratio);
        if (ourHops != 10 || theirHops != 10 || ratio > 1.2)
            rc = rc ? rc : 3;
        // Owners asked while the trace runs: a service as near as the hops, then one 50 ms
        // away.
        OwnersRatio("TraceOwnersNear", net, 0ms, 2);
        OwnersRatio("TraceOwnersFar", net, 50ms, 2);
    }
    {
        // A silent router: the trace waits for it, the owners arrive meanwhile.
        HopNetworkOptions options;
        options.routers = 9;
        options.silentRouters = {9};
        HopNetwork net(options);
        if (!net.Ok()) {
            std::fprintf(stderr, "%s\n", net.Error().c_str());
            return 1;
        }
        OwnersRatio("TraceOwnersSilentHop", net, 50ms, 1);
    }
    platform::InstallMainThread(nullptr);
    return rc;
}
