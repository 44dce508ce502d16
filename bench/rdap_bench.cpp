// RDAP: rendering the largest real answer of the corpus (time per answer), and loading the
// shipped bootstrap files, which every RDAP lookup of a fresh process pays first.
#include "rdap/RdapBootstrap.h"
#include "rdap/RdapRender.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::filesystem::path kRoot = ZW_SOURCE_DIR;

std::string Largest() {
    std::filesystem::path best;
    for (const auto& e : std::filesystem::directory_iterator(kRoot / "tests/data/rdap")) {
        if (e.path().extension() == ".json" &&
            (best.empty() || e.file_size() > std::filesystem::file_size(best)))
            best = e.path();
    }
    std::ifstream in(best, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void BM_RenderLargestAnswer(benchmark::State& state) {
    const std::string json = Largest();
    for (auto _ : state)
        benchmark::DoNotOptimize(rdap::Render(json));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * json.size()));
    state.counters["answer_bytes"] = static_cast<double>(json.size());
}
BENCHMARK(BM_RenderLargestAnswer);

void BM_LoadShippedBootstrap(benchmark::State& state) {
    const std::string folder = (kRoot / "data/rdap").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(rdap::Bootstrap::Load({folder}).ServicesFor("example.ltd"));
}
BENCHMARK(BM_LoadShippedBootstrap)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
