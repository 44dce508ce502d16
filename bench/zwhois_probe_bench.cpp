// Whole-process wall time of zwhois's probes against the system's own tools on the same
// namespace network (tests/support/HopNetwork), run in turn so both see the same machine:
//
// Trace past silent routers: six routers, the 2nd, 3rd and 5th of which never answer, then
// the target; `zwhois --trace` against `traceroute -I` with its defaults (IPv4, then IPv6
// with -6). Goal: median ratio 1.1 or less, the same seven rows.
// Eight pings at once: eight `zwhois --ping HOST -c 3 -W 1` started together, four of them at
// hosts that never answer, against eight `ping -c 3 -W 1`. Crossed replies (a reply shown for
// a dead host, or fewer than three for a live one): goal 0. Wall time: until all have ended.
//
// Runs as root (namespaces, raw sockets). Needs iputils-ping and traceroute.
//     zwhois_probe_bench [rounds]   (default 10)
#include "bench/ProcessTiming.h"
#include "tests/support/HopNetwork.h"

#include <filesystem>
#include <future>
#include <sstream>

using testsupport::HopNetwork;
using testsupport::HopNetworkOptions;

namespace {

int CountLines(const std::string& text, const std::string& needle) {
    int n = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        n += line.find(needle) != std::string::npos;
    return n;
}

using testsupport::PingTarget;

// One round of eight processes at once; the wall time until the last has ended, and the
// crossed replies in their outputs.
double EightAtOnce(const std::vector<PingTarget>& targets, bool ours, const std::string& zwhois,
                   const std::string& home, int* crossed) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::future<std::string>> runs;
    for (const PingTarget& t : targets) {
        runs.push_back(std::async(std::launch::async, [&, t] {
            std::string out;
            if (ours)
                bench::TimedRun({zwhois, "--home", home, "--ping", t.address, "-c", "3", "-W", "1"},
                                &out);
            else
                bench::TimedRun({"ping", "-n", "-c", "3", "-W", "1", t.address}, &out);
            return out;
        }));
    }
    *crossed = 0;
    for (size_t k = 0; k < runs.size(); ++k) {
        const std::string out = runs[k].get();
        // Ours: a row with a time shows the address after it (the statistics' header names it
        // after "--- "); ping: "bytes from ADDRESS".
        const int replies = ours ? CountLines(out, std::string("  ") + targets[k].address) -
                                       CountLines(out, std::string("     ?  ") + targets[k].address)
                                 : CountLines(out, std::string("bytes from ") + targets[k].address);
        *crossed += targets[k].live ? std::max(0, 3 - replies) : replies;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (bench::PairsInSandbox(0, nullptr) == 0)
        return 0;
    const std::string zwhois = ZW_CLI_EXECUTABLE;
    const std::string home = std::filesystem::temp_directory_path() / "zwbench-probe-home";
    std::filesystem::create_directories(home);
    int rc = 0;
    {
        HopNetworkOptions options;
        options.routers = 6;
        options.silentRouters = {2, 3, 5};
        HopNetwork net(options);
        if (!net.Ok()) {
            std::fprintf(stderr, "%s\n", net.Error().c_str());
            return 1;
        }
        for (int family : {AF_INET, AF_INET6}) {
            const std::string target = net.TargetAddress(family);
            std::vector<double> ours, theirs;
            std::string ourOut, theirOut;
            for (int round = 0; round < rounds; ++round) {
                ours.push_back(
                    bench::TimedRun({zwhois, "--home", home, "--trace", target}, &ourOut));
                theirs.push_back(bench::TimedRun(
                    {"traceroute", family == AF_INET6 ? "-6" : "-4", "-I", target}, &theirOut));
            }
            const int ourRows = CountLines(ourOut, "");
            const int theirRows = CountLines(theirOut, "") - 1; // its heading line
            const double ratio = bench::Median(ours) / bench::Median(theirs);
            std::printf("TraceSilentRouters%s: zwhois median %.1f ms (%d rows), traceroute -I "
                        "median %.1f ms (%d rows), ratio %.2f (goal 1.1 or less)\n",
                        family == AF_INET6 ? "IPv6" : "", bench::Median(ours), ourRows,
                        bench::Median(theirs), theirRows, ratio);
            if (ourRows != 7 || theirRows != 7 || ratio > 1.1)
                rc = 2;
        }
    }
    {
        HopNetworkOptions options;
        options.routers = 1;
        options.targetIgnoresEchoes = true;
        HopNetwork net(options);
        if (!net.Ok()) {
            std::fprintf(stderr, "%s\n", net.Error().c_str());
            return 1;
        }
        const std::vector<PingTarget> targets(std::begin(testsupport::kEightPingTargets),
                                              std::end(testsupport::kEightPingTargets));
        std::vector<double> ours, theirs;
        int ourCrossed = 0, theirCrossed = 0;
        for (int round = 0; round < std::min(rounds, 3); ++round) {
            int crossed = 0;
            ours.push_back(EightAtOnce(targets, true, zwhois, home, &crossed));
            ourCrossed += crossed;
            theirs.push_back(EightAtOnce(targets, false, zwhois, home, &crossed));
            theirCrossed += crossed;
        }
        std::printf("EightPings: zwhois median wall %.0f ms, crossed replies %d; ping median wall "
                    "%.0f ms, crossed replies %d (%zu rounds; goal 0 crossed)\n",
                    bench::Median(ours), ourCrossed, bench::Median(theirs), theirCrossed,
                    ours.size());
        if (ourCrossed != 0)
            rc = rc ? rc : 3;
    }
    return rc;
}
