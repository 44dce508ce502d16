// BuildServerCandidates over directories of 1,000 to 100,000 lines with a 60-character
// target; the time should grow linearly with the directory.
#include "directory/ServerDir.h"

#include <benchmark/benchmark.h>
#include <stdexcept>

namespace {

// 60 characters, with a dot before several two-letter suffixes of the directory.
const std::string kTarget = "www2.sales-department.example-trading-company.tokyo-hq.co.jp";

// Lines in the shapes the editor and the program write: a server, an IPv4 marker or none,
// then one to four suffixes; every hundredth server serves every domain; a few are quoted.
std::vector<std::string> MakeDirectory(int lines) {
    std::vector<std::string> dir;
    dir.reserve(lines);
    const char* markers[] = {",+", ",-", ""};
    for (int i = 0; i < lines; ++i) {
        const auto two = [](int k) {
            return std::string{static_cast<char>('a' + k % 26),
                               static_cast<char>('a' + k / 26 % 26)};
        };
        std::string line = (i % 50 == 7 ? "\"whois.registry" + std::to_string(i) + ".example\""
                                        : "whois.registry" + std::to_string(i) + ".example");
        line += markers[i % 3];
        if (i % 100 == 42) {
            line += ",*,";
        } else {
            for (int k = 0; k <= i % 4; ++k) {
                line += (k % 2 ? ",co." : ", ") + two(i * 7 + k * 131);
            }
        }
        dir.push_back(std::move(line));
    }
    return dir;
}

void BM_BuildCandidatesName(benchmark::State& state) {
    if (kTarget.size() != 60) {
        throw std::logic_error("the target must be 60 characters");
    }
    const auto dir = MakeDirectory(static_cast<int>(state.range(0)));
    std::vector<std::string> candidates;
    for (auto _ : state) {
        BuildServerCandidates(dir, "whois.registry3.example", kTarget, false, candidates);
        benchmark::DoNotOptimize(candidates.data());
    }
    state.counters["candidates"] = static_cast<double>(candidates.size());
    state.SetComplexityN(state.range(0));
}

void BM_BuildCandidatesAddress(benchmark::State& state) {
    const auto dir = MakeDirectory(static_cast<int>(state.range(0)));
    std::vector<std::string> candidates;
    for (auto _ : state) {
        BuildServerCandidates(dir, "whois.registry3.example", "203.0.113.250", true, candidates);
        benchmark::DoNotOptimize(candidates.data());
    }
    state.counters["candidates"] = static_cast<double>(candidates.size());
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_BuildCandidatesName)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_BuildCandidatesAddress)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();
