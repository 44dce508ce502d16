// The fault soak of the WHOIS chain: many chains against misbehaving servers on loopback in
// the program's own network namespace, each ended by itself or stopped at a random moment.
// It checks that nothing crashes (run it under ASan and under TSan), that no event reaches a
// chain after its end, that every chain ends, and that no socket or thread is left behind.
//
// Usage: whois_soak [CHAINS [SEED]]   (default 1000 chains, seed 1)
// Exit status 0 when every check held; the figures are printed at the end.
#include "engine/PingCtrl.h"
#include "engine/WhoisChain.h"
#include "engine/WhoisText.h"
#include "platform/HeadlessMainThread.h"
#include "tests/soak/SlowAccept.h"
#include "tests/support/BlackHole.h"
#include "tests/support/FakeServer.h"
#include "tests/support/NetSandbox.h"

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::FakeReply;
using testsupport::FakeServer;

namespace {

int CountEntries(const char* dir) {
    int n = 0;
    if (DIR* d = ::opendir(dir)) {
        while (dirent* e = ::readdir(d))
            n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n - (std::string(dir) == "/proc/self/fd" ? 1 : 0); // the opendir's own descriptor
}

// The servers, each on its own loopback address at port 43, named in the private hosts file
// (a dotted server is looked up in reverse, so it needs a name).
struct Chaos {
    std::string name;
    std::string address;
};

std::vector<Chaos> Servers() {
    const char* kinds[] = {"hit",  "referral", "silent", "drip",        "reset",     "garbage",
                           "5mib", "zero",     "empty",  "slow-accept", "no-accept", "no-match"};
    std::vector<Chaos> list;
    for (const char* kind : kinds)
        list.push_back(
            {std::string(kind) + ".soak.test", "127.0.3." + std::to_string(list.size() + 1)});
    return list;
}

bool AddHostNames(const std::vector<Chaos>& servers) {
    FILE* hosts = std::fopen("/etc/hosts", "a");
    if (hosts == nullptr)
        return false;
    for (const auto& s : servers)
        std::fprintf(hosts, "%s %s\n", s.address.c_str(), s.name.c_str());
    return std::fclose(hosts) == 0;
}

struct Figures {
    int chains = 0;
    int endedByThemselves = 0;
    int stopped = 0;
    int cappedThenStopped = 0;
    int steps = 0;
    int results = 0;
    int lateEvents = 0;
    int doneMissing = 0;
    std::map<int32_t, int> codes;
};

// What one chain's callbacks know of it.
struct ChainRun {
    bool ended = false;
    int doneEvents = 0;
    std::string query;
    std::string asked;
    WhoisChainState state;
};

// What is open and running, for a report when the counts do not match.
void ListLeftovers() {
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(d)) {
            char target[512] = {};
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            if (e->d_name[0] != '.' && ::readlink(link.c_str(), target, sizeof target - 1) > 0)
                std::printf("  fd %s -> %s\n", e->d_name, target);
        }
        ::closedir(d);
    }
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.')
                continue;
            const std::string comm = std::string("/proc/self/task/") + e->d_name + "/comm";
            char name[64] = {};
            if (FILE* f = std::fopen(comm.c_str(), "r")) {
                if (std::fgets(name, sizeof name, f) == nullptr)
                    name[0] = 0;
                std::fclose(f);
            }
            std::printf("  thread %s %s", e->d_name, name);
        }
        ::closedir(d);
    }
}

} // namespace

int main(int argc, char** argv) {
    const int chains = argc > 1 ? std::atoi(argv[1]) : 1000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1u;
    std::string reason;
    if (!testsupport::EnterNetSandbox(&reason)) {
        std::fprintf(stderr, "soak skipped: %s\n", reason.c_str());
        return 77;
    }
    platform::HeadlessMainThread mainThread;
    platform::InstallMainThread(&mainThread);
    // A first thread makes the sanitizer runtimes start their own helper threads now, so
    // that they are part of the count before.
    std::thread([] {}).join();
    const int fdsBefore = CountEntries("/proc/self/fd");
    const int threadsBefore = CountEntries("/proc/self/task");

    std::mt19937 rng(seed);
    const auto servers = Servers();
    if (!AddHostNames(servers)) {
        std::fprintf(stderr, "cannot add the servers to the private hosts file\n");
        return 2;
    }
    const std::string hit = "Domain Information:\r\n[Domain Name]  EXAMPLE.JP\r\n";
    std::string garbage(8192, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng());
    FakeServer::Options opts;
    opts.lifetime = 6h;
    std::vector<std::unique_ptr<FakeServer>> fakes;
    auto add = [&](const std::string& addr, FakeServer::Script script) {
        fakes.push_back(std::make_unique<FakeServer>(addr, 43, std::move(script), opts));
        if (!fakes.back()->Listening()) {
            std::fprintf(stderr, "cannot listen on %s: %s\n", addr.c_str(),
                         fakes.back()->Error().c_str());
            std::exit(2);
        }
    };
    add(servers[0].address, FakeServer::Answer(hit));
    // A referral to a random other server of the set, chosen per connection.
    auto referralRng = std::make_shared<std::mt19937>(seed + 1);
    add(servers[1].address, [&servers, referralRng](const std::string&) {
        const auto& to = servers[(*referralRng)() % servers.size()];
        return FakeReply{{"Whois Server: " + to.name + "\r\n\r\nmore\r\n"}};
    });
    add(servers[2].address, FakeServer::Silence());
    add(servers[3].address, FakeServer::Chunks({"N", "o", " ", "m"}, 4000ms));
    add(servers[4].address, FakeServer::PartThenReset("Domain Inform", 30ms));
    add(servers[5].address, FakeServer::Answer(garbage));
    add(servers[6].address, FakeServer::Answer(std::string(5u << 20, 'x') + "\r\n"));
    add(servers[7].address, FakeServer::Answer(std::string(4096, '\0')));
    add(servers[8].address, FakeServer::CloseAtOnce());
    soak::SlowAccept slow(servers[9].address, 43, 3000ms, hit);
    if (!slow.Listening()) {
        std::fprintf(stderr, "cannot listen on %s\n", servers[9].address.c_str());
        return 2;
    }
    auto blackHole = std::make_unique<testsupport::BlackHole>(servers[10].address, 43);
    add(servers[11].address, FakeServer::Answer("No match!!\r\n"));

    std::vector<std::string> directory;
    for (const auto& s : servers)
        directory.push_back(s.name + ",*");
    const std::vector<std::string> hitKeys{"Domain Information:"};

    Figures fig;
    std::vector<std::unique_ptr<TPingTrace>> done; // kept, so a late event would still arrive
    const auto started = Clock::now();
    for (int i = 0; i < chains; ++i) {
        auto trace = std::make_unique<TPingTrace>();
        TPingTrace* t = trace.get();
        // Owned by the chain's callbacks, not by this loop turn: an event that arrives while a
        // later chain runs still finds its own chain, sees it ended and counts as late.
        auto c = std::make_shared<ChainRun>();
        auto late = [c, &fig] {
            if (c->ended)
                ++fig.lateEvents;
        };
        c->query = "example" + std::to_string(i) + ".jp";
        c->asked = servers[rng() % servers.size()].name;
        t->FServerList = directory;
        t->PrepareCandidates(c->asked, c->query);
        t->OnDone = [c, late](TObject*) {
            late();
            ++c->doneEvents;
        };
        t->OnStart = [late](TObject*, uint8_t) { late(); };
        t->OnResolved = [late](TObject*, uint8_t, const TagHostEnt&) { late(); };
        t->OnWhoisStart = [late](TObject*, const std::string&, const std::string&) { late(); };
        t->OnWhoisResult = [c, late, t, &fig, &rng, &hitKeys](TObject*, int32_t code,
                                                              const std::string& q,
                                                              const std::string& response) {
            late();
            if (c->ended)
                return;
            ++fig.results;
            ++fig.codes[code];
            WhoisAnswer answer;
            answer.ErrorCode = code;
            answer.Query = q;
            answer.Converted = PrepareAnswer(response, rng() % 5);
            answer.AskedServer = c->asked;
            answer.CurrentTarget = t->CurrentTarget();
            answer.QueryText = t->FQueryText;
            answer.LastQuery = c->query;
            answer.AutoChange = true;
            answer.SweepCheck = true;
            const WhoisStep step =
                ChooseWhoisStep(answer, hitKeys, c->state, [t] { return t->NextCandidate(); });
            ++fig.steps;
            switch (step.kind) {
            case WhoisStep::RetryParent:
                t->WhoisDirect(step.Query);
                break;
            case WhoisStep::FollowReferral:
            case WhoisStep::NextCandidate:
                c->asked = step.Server;
                t->WhoisResolve(step.Server, step.Query);
                break;
            default:
                t->WhoisEnded(); // raises the chain's Done
                c->ended = true;
                ++fig.endedByThemselves;
            }
        };

        // Four chains in five are stopped at a random moment; the rest run to their end,
        // with a cap for sweeps through silent servers.
        const bool stopEarly = rng() % 5 != 0;
        const auto stopAt =
            Clock::now() + (stopEarly ? std::chrono::milliseconds(rng() % 1500) : 40s);
        t->WhoisResolve(c->asked, c->query);
        while (!c->ended && Clock::now() < stopAt)
            mainThread.ProcessEvents(5ms);
        if (!c->ended) {
            const int before = c->doneEvents;
            t->Stop();
            c->ended = true;
            if (c->doneEvents != before + 1)
                ++fig.doneMissing;
            ++(stopEarly ? fig.stopped : fig.cappedThenStopped);
        } else if (c->doneEvents != 1) {
            ++fig.doneMissing;
        }
        ++fig.chains;
        done.push_back(std::move(trace));
        if ((i + 1) % 100 == 0)
            std::fprintf(stderr, "%d chains, %lld s\n", i + 1,
                         static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(
                                                    Clock::now() - started)
                                                    .count()));
    }

    // Whatever is still under way would show up now.
    mainThread.RunUntil([] { return WorkerThreads.Count() == 0; }, 30s);
    const int workersLeft = WorkerThreads.Count();
    for (int k = 0; k < 100; ++k)
        mainThread.ProcessEvents(10ms);
    for (auto& f : fakes)
        f->Stop();
    fakes.clear();
    slow.Stop();
    blackHole.reset();
    int fdsAfter = 0;
    int threadsAfter = 0;
    // Idle pool threads stay for ten seconds after their last worker.
    for (int k = 0; k < 400; ++k) {
        fdsAfter = CountEntries("/proc/self/fd");
        threadsAfter = CountEntries("/proc/self/task");
        if (fdsAfter <= fdsBefore && threadsAfter <= threadsBefore)
            break;
        mainThread.ProcessEvents(50ms);
    }
    done.clear();
    platform::InstallMainThread(nullptr);

    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count();
    std::printf("chains %d (ended by themselves %d, stopped at random %d, stopped at the cap %d)"
                " in %lld s\n",
                fig.chains, fig.endedByThemselves, fig.stopped, fig.cappedThenStopped,
                static_cast<long long>(seconds));
    std::printf("answers %d, steps chosen %d; result codes:", fig.results, fig.steps);
    for (const auto& [code, n] : fig.codes)
        std::printf(" %d x%d", code, n);
    std::printf("\nevents after a chain's end %d, chains without their one Done %d\n",
                fig.lateEvents, fig.doneMissing);
    std::printf("workers left %d; descriptors %d before, %d after; threads %d before, %d after\n",
                workersLeft, fdsBefore, fdsAfter, threadsBefore, threadsAfter);
    const bool ok = fig.chains == chains && fig.lateEvents == 0 && fig.doneMissing == 0 &&
                    workersLeft == 0 && fdsAfter == fdsBefore && threadsAfter == threadsBefore;
    if (!ok)
        ListLeftovers();
    std::printf("%s\n", ok ? "soak passed" : "soak FAILED");
    return ok ? 0 : 1;
}
