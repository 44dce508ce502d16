// Bulk runs of zwhois (one `zwhois -` over many names) inside the program's own network
// namespace, on loopback fake servers. Not a timed test: it prints the figures.
//   zwhois_bulk_bench [runs]   (default 3)
// 1. Three registries that each take 5 queries a second and answer more with a notice,
//    refusing everything for 2 s after one: 90 names (registered and not) in one
//    `zwhois --json -`, against `xargs -P3` over GNU whois on the same network.
// 2. Eight registries without limits that answer 20 ms after the question: 1,000 names in
//    one `zwhois -P 8 -` and one `zwhois -P 1 -`.
#include "bench/ProcessTiming.h"
#include "tests/support/FakeServer.h"

#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using bench::TimedRun;
using testsupport::FakeReply;
using testsupport::FakeServer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A registry's limit as the issue sets it: 5 in any second, then 2 s of notices.
class Limited {
public:
    Limited(const std::string& address, int perSecond, std::chrono::milliseconds refuse)
        : perSecond_(perSecond), refuse_(refuse),
          server_(address, 43, [this](const std::string& r) { return Reply(r); },
                  {"", "\r\n", std::chrono::milliseconds(3000), std::chrono::minutes(30)}) {}
    int Notices() {
        std::lock_guard lock(mutex_);
        return notices_;
    }
    int Asked() {
        std::lock_guard lock(mutex_);
        return asked_;
    }

private:
    FakeReply Reply(const std::string& request) {
        const std::string name = request.substr(0, request.find('\r'));
        const Clock::time_point now = Clock::now();
        std::lock_guard lock(mutex_);
        ++asked_;
        while (!taken_.empty() && now - taken_.front() >= 1s)
            taken_.pop_front();
        if (now < refuseUntil_ || static_cast<int>(taken_.size()) >= perSecond_) {
            refuseUntil_ = now + refuse_;
            ++notices_;
            return {{"% fake registry\r\n\r\nYour connection limit exceeded. Please slow down "
                     "and try again later.\r\n"}};
        }
        taken_.push_back(now);
        return {{"% fake registry\r\n\r\n" + (name[0] == 'r'
                                                  ? "Domain Name: " + name + "\r\nRegistrar: R\r\n"
                                                  : "No match for \"" + name + "\".\r\n")}};
    }

    int perSecond_;
    std::chrono::milliseconds refuse_;
    std::mutex mutex_;
    std::deque<Clock::time_point> taken_;
    Clock::time_point refuseUntil_{};
    int notices_ = 0, asked_ = 0;
    FakeServer server_;
};

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// How many of zwhois's JSON lines give each name, in order, the verdict it has.
int RightVerdicts(const std::string& out, const std::vector<std::string>& names) {
    int right = 0;
    size_t pos = 0;
    for (const std::string& name : names) {
        const size_t end = out.find('\n', pos);
        const std::string line = out.substr(pos, end - pos);
        pos = end == std::string::npos ? out.size() : end + 1;
        const bool named = line.find("\"query\":\"" + name + "\"") != std::string::npos;
        const std::string verdict =
            name[0] == 'r' ? "\"verdict\":\"hit\"" : "\"verdict\":\"no match\"";
        right += named && line.find(verdict) != std::string::npos;
    }
    return right;
}

} // namespace

int main(int argc, char** argv) {
    const int pairs = bench::PairsInSandbox(argc, argv);
    if (pairs == 0)
        return 0;
    const int runs = argc > 1 ? pairs : 3;
    const std::string zwhois = ZW_CLI_EXECUTABLE;
    const std::string dir = std::filesystem::temp_directory_path() / "zwbench-bulk";
    std::filesystem::create_directories(dir + "/home");
    std::filesystem::create_directories(dir + "/gnu");
    const std::string home = dir + "/home";
    Write(home + "/Servhit.key", "Domain Name:\r\n");

    // 1. Three limited registries.
    const char* kServers[] = {"127.0.0.21", "127.0.0.22", "127.0.0.23"};
    const char* kZones[] = {"alpha", "beta", "gamma"};
    std::string directory, input, asks;
    for (int s = 0; s < 3; ++s)
        directory += std::string(kServers[s]) + ",-," + kZones[s] + "\r\n";
    Write(home + "/Server.wis", directory);
    std::vector<std::string> names;
    for (int k = 0; k < 30; ++k)
        for (int s = 0; s < 3; ++s) {
            names.push_back(std::string((k + s) % 2 ? "r" : "n") + std::to_string(k) + "." +
                            kZones[s]);
            input += names.back() + "\n";
            asks += std::string(kServers[s]) + " " + names.back() + "\n";
        }
    Write(dir + "/names.txt", input);
    Write(dir + "/pairs.txt", asks);
    std::printf("1. three registries, 5 queries/s each, 2 s of notices after one; 90 names "
                "(floor 6 s)\n");
    for (int run = 0; run < runs; ++run) {
        std::vector<std::unique_ptr<Limited>> servers;
        for (const char* address : kServers)
            servers.push_back(std::make_unique<Limited>(address, 5, 2000ms));
        std::string out;
        const double ms = TimedRun(
            {"sh", "-c", zwhois + " --home " + home + " --json - < " + dir + "/names.txt"}, &out);
        int notices = 0, asked = 0;
        for (auto& s : servers)
            notices += s->Notices(), asked += s->Asked();
        std::printf("   zwhois --json -:      %6.2f s, %d of 90 verdicts right, %d notices, %d "
                    "queries sent\n",
                    ms / 1000, RightVerdicts(out, names), notices, asked);
    }
    if (TimedRun({"whois", "--version"}) >= 0) {
        for (int run = 0; run < runs; ++run) {
            std::vector<std::unique_ptr<Limited>> servers;
            for (const char* address : kServers)
                servers.push_back(std::make_unique<Limited>(address, 5, 2000ms));
            std::filesystem::remove_all(dir + "/gnu");
            std::filesystem::create_directories(dir + "/gnu");
            const double ms = TimedRun({"sh", "-c",
                                        "xargs -P3 -n2 sh -c 'whois -h \"$0\" \"$1\" > " + dir +
                                            "/gnu/\"$1\"' < " + dir + "/pairs.txt"});
            // The verdict a reader draws from each output: a record, a no-match, or neither.
            int right = 0;
            for (const std::string& name : names) {
                std::ifstream file(dir + "/gnu/" + name, std::ios::binary);
                const std::string text((std::istreambuf_iterator<char>(file)), {});
                const bool record = text.find("Domain Name: " + name) != std::string::npos;
                const bool none = text.find("No match for") != std::string::npos;
                right += name[0] == 'r' ? record : none;
            }
            int notices = 0;
            for (auto& s : servers)
                notices += s->Notices();
            std::printf("   xargs -P3 GNU whois:  %6.2f s, %d of 90 verdicts right, %d notices\n",
                        ms / 1000, right, notices);
        }
    } else {
        std::printf("   (GNU whois is not installed: Debian package whois)\n");
    }

    // 2. Eight registries without limits, 20 ms to each answer.
    directory.clear();
    input.clear();
    std::vector<std::unique_ptr<FakeServer>> eight;
    for (int s = 0; s < 8; ++s) {
        const std::string address = "127.0.0." + std::to_string(31 + s);
        directory += address + ",-,z" + std::to_string(s) + "\r\n";
        FakeServer::Options options;
        options.lifetime = std::chrono::minutes(30);
        eight.push_back(std::make_unique<FakeServer>(
            address, 43,
            [](const std::string& request) {
                std::this_thread::sleep_for(20ms);
                return FakeReply{{"% fake\r\n\r\nDomain Name: " +
                                  request.substr(0, request.find('\r')) + "\r\n"}};
            },
            options));
    }
    Write(home + "/Server.wis", directory);
    for (int k = 0; k < 1000; ++k)
        input += "r" + std::to_string(k) + ".z" + std::to_string(k % 8) + "\n";
    Write(dir + "/names.txt", input);
    std::printf("2. eight registries without limits, 20 ms to each answer; 1,000 names\n");
    for (int run = 0; run < runs; ++run) {
        std::string one, eightOut;
        const double serial = TimedRun(
            {"sh", "-c", zwhois + " --home " + home + " -P 1 - < " + dir + "/names.txt"}, &one);
        const double parallel =
            TimedRun({"sh", "-c", zwhois + " --home " + home + " -P 8 - < " + dir + "/names.txt"},
                     &eightOut);
        std::printf("   -P 1: %6.2f s   -P 8: %6.2f s   %.1fx faster, same output: %s\n",
                    serial / 1000, parallel / 1000, serial / parallel,
                    one == eightOut && !one.empty() ? "yes" : "no");
    }
    std::filesystem::remove_all(dir);
    return 0;
}
