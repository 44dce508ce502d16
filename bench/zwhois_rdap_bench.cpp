// Whole-process wall time of `zwhois --rdap NAME` against `curl -s URL` for the same answer
// from the same loopback HTTP server, inside the program's own network namespace. Not a timed
// test: it prints the figures.   zwhois_rdap_bench [pairs]   (default 20)
#include "bench/ProcessTiming.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/NetSandbox.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using bench::Median;
using bench::TimedRun;
using testsupport::FakeHttpServer;

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace

int main(int argc, char** argv) {
    const int pairs = bench::PairsInSandbox(argc, argv);
    if (pairs == 0)
        return 0;
    const std::string zwhois = ZW_CLI_EXECUTABLE;
    // A real registry answer without a registrar link, so that both fetch once.
    std::string record = ReadFile(ZW_RDAP_SAMPLE);
    if (record.empty()) {
        std::printf("failed: no sample answer at %s\n", ZW_RDAP_SAMPLE);
        return 1;
    }
    testsupport::HttpReply reply;
    reply.body = record;
    FakeHttpServer server("127.0.0.2", 8080,
                          FakeHttpServer::Routes({{"/domain/example.com", reply}}));
    const std::string url = server.BaseUrl() + "domain/example.com";

    // A home of our own whose dns.json is IANA's shipped file with .com pointed here: the
    // whole bootstrap is parsed on every run, as for a user.
    const std::string home = std::filesystem::temp_directory_path() / "zwbench-rdap-home";
    std::filesystem::create_directories(home + "/rdap");
    std::string dns = ReadFile(ZW_RDAP_SHIPPED "/dns.json");
    const std::string verisign = "https://rdap.verisign.com/com/v1/";
    if (dns.find(verisign) == std::string::npos) {
        std::printf("failed: the shipped dns.json has no service for .com\n");
        return 1;
    }
    dns.replace(dns.find(verisign), verisign.size(), server.BaseUrl());
    std::ofstream(home + "/rdap/dns.json", std::ios::binary) << dns;
    std::ofstream(home + "/Servhit.key", std::ios::binary) << "";

    const std::vector<std::string> ours = {zwhois, "--home", home, "--rdap", "example.com"};
    const std::vector<std::string> theirs = {"curl", "-s", url};
    std::string ourText, theirText;
    if (TimedRun(ours, &ourText) < 0 || TimedRun(theirs, &theirText) < 0 ||
        ourText.find("EXAMPLE.COM") == std::string::npos || theirText != record) {
        std::printf("failed: an answer is missing\n");
        return 1;
    }
    std::vector<double> a, b;
    for (int k = 0; k < 3; ++k) { // warm the page cache first
        TimedRun(ours);
        TimedRun(theirs);
    }
    for (int k = 0; k < pairs; ++k) {
        a.push_back(TimedRun(ours));
        b.push_back(TimedRun(theirs));
    }
    const double mine = Median(a), curl = Median(b);
    std::printf("median of %d pairs, wall time per run\n", pairs);
    std::printf("zwhois --rdap %.2f ms, curl -s %.2f ms, ratio %.2f (goal 1.2 or less)\n", mine,
                curl, mine / curl);
    std::filesystem::remove_all(home);
    return 0;
}
