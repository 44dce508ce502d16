// Reading an answer into its registration record.
//
// Typical: a thick registrar answer (MarkMonitor's google.com, 5 KB), and every answer of the
// registries' corpus in turn. Goal: under 100 µs for a typical answer.
// Hostile: 4 MiB answers built to make a reader slow (one endless line, a heading with a
// million lines under it, a million distinct name servers, label lines without values,
// dot leaders, dates everywhere). Goal: under 50 ms each.
// Rdap: the same record from an RDAP answer's JSON (Verisign's google.com).
#include "engine/WhoisRecord.h"
#include "platform/TextFile.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string Read(const std::string& path) {
    std::string bytes;
    platform::ReadFileBytes(path, bytes);
    return bytes;
}

void ReadTypical(benchmark::State& state) {
    const std::string text = Read(std::string(ZW_DATA) + "/whois/markmonitor-google.com-thick.txt");
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadWhoisRecord(text, "google.com"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ReadTypical)->Unit(benchmark::kMicrosecond);

void ReadCorpus(benchmark::State& state) {
    std::vector<std::pair<std::string, std::string>> answers;
    for (const auto& e :
         std::filesystem::directory_iterator(std::string(ZW_DATA) + "/whois/registries")) {
        const std::string name = e.path().filename().string();
        if (name.starts_with("noterror__"))
            answers.emplace_back(Read(e.path().string()), name.substr(name.find('_', 10) + 1));
    }
    size_t i = 0;
    for (auto _ : state) {
        const auto& [text, query] = answers[i++ % answers.size()];
        benchmark::DoNotOptimize(ReadWhoisRecord(text, query));
    }
    state.counters["answers"] = static_cast<double>(answers.size());
}
BENCHMARK(ReadCorpus)->Unit(benchmark::kMicrosecond);

std::string Repeat(const std::string& head, const std::string& unit, size_t size) {
    std::string out = head;
    while (out.size() < size)
        out += unit;
    out.resize(size);
    return out;
}

std::string Hostile(int kind) {
    constexpr size_t k4MiB = 4u << 20;
    switch (kind) {
    case 0: // one line, no break, a colon far in
        return Repeat("Domain Name", " x", k4MiB) + ":";
    case 1: // a heading whose block never ends
        return Repeat("Name Servers:\n", "   ns.example.test 192.0.2.1 [glue] (x)\n", k4MiB);
    case 2: { // a million distinct name servers
        std::string out;
        for (int i = 0; out.size() < k4MiB; ++i)
            out += "Name Server: ns" + std::to_string(i) + ".example.test\n";
        return out;
    }
    case 3: // labels without values: a heading on every line
        return Repeat("", "Registrant:\nName Servers\nStatus:\n", k4MiB);
    case 4: // dot leaders and dates on every line
        return Repeat("", "Creation date......: 03/04/2001 05:00:00 (UTC+8)\n", k4MiB);
    default: // contact objects, each with a created date
        return Repeat("", "nic-hdl: X\ncreated: 2001-01-01\n\n", k4MiB);
    }
}

void ReadHostile(benchmark::State& state) {
    const std::string text = Hostile(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadWhoisRecord(text, "example.test"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ReadHostile)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

void ReadRdap(benchmark::State& state) {
    const std::string json = Read(std::string(ZW_DATA) + "/rdap/verisign-domain-GOOGLE.COM.json");
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadRdapRecord(json));
}
BENCHMARK(ReadRdap)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
