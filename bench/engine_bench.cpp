// The cost of the engine's machinery around one WHOIS exchange, and how fast Stop ends
// blocked workers. Everything runs on loopback inside the program's own network namespace.
//
// WhoisStep: the controller's WhoisResolve to its result (lookup through the hosts file, a
// worker thread, connect, query, 2 KB answer, close, and the hand-offs to the main thread).
// WhoisDirectStep and LookupStep: its two halves alone, to show where WhoisStep's time goes.
// BareExchange: a blocking connect-send-read of the same answer from the same server, as
// the floor. Goal: WhoisStep within twice BareExchange.
// StopLatency: Stop with a worker in connect to a black hole, one waiting on a silent
// server and one held in the resolver. Goal: under 10 ms.
#include "engine/PingCtrl.h"
#include "platform/HeadlessMainThread.h"
#include "tests/support/BlackHole.h"
#include "tests/support/FakeServer.h"
#include "tests/support/LookupGate.h"
#include "tests/support/NetSandbox.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

using namespace std::chrono_literals;
using testsupport::FakeServer;
namespace sb = testsupport::sandbox;

namespace {

platform::HeadlessMainThread* g_main = nullptr;

std::string Answer2K() {
    std::string text;
    for (int i = 0; text.size() < 2048; ++i)
        text += "Field " + std::to_string(i) + ": value of a registry record\r\n";
    text.resize(2048);
    return text;
}

FakeServer::Options LongLived() {
    FakeServer::Options options;
    options.lifetime = std::chrono::minutes(30);
    return options;
}

void WhoisStep(benchmark::State& state) {
    const std::string answer = Answer2K();
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer(answer), LongLived());
    TPingTrace trace;
    std::string got;
    bool done = false;
    trace.OnWhoisResult = [&](TObject*, int32_t, const std::string&, const std::string& text) {
        got = text;
        done = true;
    };
    for (auto _ : state) {
        done = false;
        trace.WhoisResolve(sb::kWhoisA, "example.a.test");
        if (!g_main->RunUntil([&] { return done; }, 10s) || got != answer) {
            state.SkipWithError("no or wrong answer");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(answer.size()));
}
BENCHMARK(WhoisStep)->UseRealTime()->Unit(benchmark::kMicrosecond);

// WhoisStep without its lookup: WhoisDirect to the server found before.
void WhoisDirectStep(benchmark::State& state) {
    const std::string answer = Answer2K();
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer(answer), LongLived());
    TPingTrace trace;
    ResolveHost(sb::kWhoisA, trace.FHost);
    bool done = false;
    trace.OnWhoisResult = [&](TObject*, int32_t, const std::string&, const std::string& text) {
        done = text == answer;
    };
    for (auto _ : state) {
        done = false;
        trace.WhoisDirect("example.a.test");
        if (!g_main->RunUntil([&] { return done; }, 10s)) {
            state.SkipWithError("no or wrong answer");
            break;
        }
    }
}
BENCHMARK(WhoisDirectStep)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The lookup part of WhoisStep alone: a worker, the hosts file, the hand-offs.
void LookupStep(benchmark::State& state) {
    TPingTrace trace;
    bool done = false;
    trace.OnDone = [&](TObject*) { done = true; };
    for (auto _ : state) {
        done = false;
        trace.Lookup(sb::kWhoisA);
        if (!g_main->RunUntil([&] { return done; }, 10s) || !trace.FHost.Found) {
            state.SkipWithError("lookup failed");
            break;
        }
    }
}
BENCHMARK(LookupStep)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BareExchange(benchmark::State& state) {
    const std::string answer = Answer2K();
    FakeServer server(sb::kWhoisAAddr, 43, FakeServer::Answer(answer), LongLived());
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(43);
    sa.sin_addr.s_addr = testsupport::Ipv4(sb::kWhoisAAddr);
    const std::string query = "example.a.test\r\n";
    std::string got;
    char buf[512];
    for (auto _ : state) {
        got.clear();
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
            ::send(fd, query.data(), query.size(), 0) != ssize_t(query.size())) {
            ::close(fd);
            state.SkipWithError("connect or send failed");
            break;
        }
        ssize_t n;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0)
            got.append(buf, size_t(n));
        ::close(fd);
        if (got != answer) {
            state.SkipWithError("wrong answer");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(answer.size()));
}
BENCHMARK(BareExchange)->UseRealTime()->Unit(benchmark::kMicrosecond);

void StopLatency(benchmark::State& state) {
    testsupport::BlackHole hole(sb::kBlackHoleAddr, 43);
    FakeServer silent(sb::kWhoisBAddr, 43, FakeServer::Silence(), LongLived());
    if (!hole.Ready() || !silent.Listening()) {
        state.SkipWithError("fixtures unavailable");
        return;
    }
    TPingTrace trace;
    int started = 0;
    trace.OnWhoisStart = [&](TObject*, const std::string&, const std::string&) { ++started; };
    for (auto _ : state) {
        started = 0;
        const int connections = silent.Connections();
        trace.WhoisResolve(sb::kBlackHole, "a.test");
        trace.WhoisResolve(sb::kWhoisB, "b.test");
        if (!g_main->RunUntil([&] { return started == 2 && silent.Connections() > connections; },
                              5s)) {
            state.SkipWithError("workers did not get going");
            break;
        }
        testsupport::LookupGate gate;
        trace.Lookup(sb::kWhoisA);
        g_main->RunUntil([] { return false; }, 30ms); // the lookup reaches the resolver
        std::this_thread::sleep_for(20ms);            // and the others sit in connect and select

        const auto start = std::chrono::steady_clock::now();
        trace.Stop();
        const auto took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        gate.Release();
    }
}
BENCHMARK(StopLatency)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // Before benchmark or the engine start any thread.
    std::string reason;
    if (!testsupport::EnterNetSandbox(&reason)) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }
    platform::HeadlessMainThread mainThread;
    platform::InstallMainThread(&mainThread);
    g_main = &mainThread;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform::InstallMainThread(nullptr);
    return 0;
}
