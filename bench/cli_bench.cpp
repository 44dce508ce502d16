// Whole-process wall time of zwhois against GNU whois on the same loopback fake servers,
// inside the program's own network namespace. Not a timed test: it prints the figures.
//   cli_bench [pairs]   (default 20)
#include "bench/ProcessTiming.h"
#include "tests/support/FakeServer.h"
#include "tests/support/NetSandbox.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using bench::Median;
using bench::TimedRun;
using testsupport::FakeServer;
namespace sb = testsupport::sandbox;

std::string Padded(std::string text, size_t size) {
    std::string line = "% ";
    while (text.size() < size) {
        text += line + "filler line " + std::to_string(text.size()) + " of the fake answer\r\n";
    }
    return text;
}

struct Figures {
    double ours, theirs;
};

Figures RunPairs(int pairs, const std::vector<std::vector<std::string>>& ours,
                 const std::vector<std::vector<std::string>>& theirs) {
    std::vector<double> a, b;
    // Warm the page cache and the fake servers first: only steady runs are compared.
    for (int k = 0; k < 3; ++k) {
        for (const auto& command : ours)
            TimedRun(command);
        for (const auto& command : theirs)
            TimedRun(command);
    }
    for (int k = 0; k < pairs; ++k) {
        double sumOurs = 0, sumTheirs = 0;
        for (const auto& command : ours)
            sumOurs += TimedRun(command);
        for (const auto& command : theirs)
            sumTheirs += TimedRun(command);
        a.push_back(sumOurs);
        b.push_back(sumTheirs);
    }
    return {Median(a), Median(b)};
}

} // namespace

int main(int argc, char** argv) {
    const int pairs = bench::PairsInSandbox(argc, argv);
    if (pairs == 0)
        return 0;
    if (TimedRun({"whois", "--version"}) < 0) {
        std::printf("skipped: GNU whois is not installed (Debian package whois)\n");
        return 0;
    }
    const std::string zwhois = ZW_CLI_EXECUTABLE;

    // A home of our own: one hit phrase, an empty directory, so no sweep adds work.
    const std::string home = std::filesystem::temp_directory_path() / "zwbench-home";
    std::filesystem::create_directories(home);
    std::ofstream(home + "/Server.wis", std::ios::binary) << "";
    std::ofstream(home + "/Servhit.key", std::ios::binary) << "Domain Name:\r\n";

    const std::string record =
        Padded("% fake registry\r\n\r\nDomain Name: EXAMPLE.TEST\r\nRegistrant: Someone\r\n", 2048);
    FakeServer single(sb::kWhoisAAddr, 43, FakeServer::Answer(record));

    // The three-step chain: IANA, registry, registrar.
    const std::string ianaText = Padded(
        "% IANA WHOIS server\r\n\r\ndomain: TEST\r\nWhois Server: " + std::string(sb::kWhoisC) +
            "\r\n",
        1024);
    const std::string registryText = Padded(
        "% registry\r\n\r\nDomain: example.test\r\nWhois Server: " + std::string(sb::kWhoisD) +
            "\r\n",
        1024);
    FakeServer iana(sb::kWhoisBAddr, 43, FakeServer::Answer(ianaText));
    FakeServer registry(sb::kWhoisCAddr, 43, FakeServer::Answer(registryText));
    FakeServer registrar(sb::kWhoisDAddr, 43, FakeServer::Answer(record));

    // The same record must come out of both, or the timing compares different work.
    std::string ourText, theirText;
    TimedRun({zwhois, "--home", home, "-h", sb::kWhoisA, "example.test"}, &ourText);
    TimedRun({"whois", "-h", sb::kWhoisA, "example.test"}, &theirText);
    if (ourText.find("Domain Name: EXAMPLE.TEST") == std::string::npos ||
        theirText.find("Domain Name: EXAMPLE.TEST") == std::string::npos) {
        std::printf("failed: an answer is missing\n");
        return 1;
    }
    TimedRun({zwhois, "--home", home, "-h", sb::kWhoisB, "example.test"}, &ourText);
    TimedRun({"whois", "-h", sb::kWhoisB, "example.test"}, &theirText);
    if (ourText.find("Domain Name: EXAMPLE.TEST") == std::string::npos ||
        theirText.find("Whois Server: whois.d.test") != std::string::npos) {
        // GNU whois must not follow the referral itself: each of its runs is one query.
        std::printf("failed: the chain did not run as planned\n");
        return 1;
    }

    const Figures one =
        RunPairs(pairs, {{zwhois, "--home", home, "-h", sb::kWhoisA, "example.test"}},
                 {{"whois", "-h", sb::kWhoisA, "example.test"}});
    const Figures chain =
        RunPairs(pairs, {{zwhois, "--home", home, "-h", sb::kWhoisB, "example.test"}},
                 {{"whois", "-h", sb::kWhoisB, "example.test"},
                  {"whois", "-h", sb::kWhoisC, "example.test"},
                  {"whois", "-h", sb::kWhoisD, "example.test"}});
    std::printf("median of %d pairs, wall time per run\n", pairs);
    std::printf("one query, 2 KB answer:  zwhois %.2f ms, GNU whois %.2f ms, ratio %.2f "
                "(goal 1.0 or less)\n",
                one.ours, one.theirs, one.ours / one.theirs);
    std::printf("three-step chain:        zwhois %.2f ms, 3 x GNU whois %.2f ms, ratio %.2f "
                "(goal 1.1 or less)\n",
                chain.ours, chain.theirs, chain.ours / chain.theirs);
    std::filesystem::remove_all(home);
    return 0;
}
