// Throughput of the Japanese conversions on 1 MiB of Japanese text (a real WHOIS answer, and
// dense kanji), each beside glibc's iconv doing the same conversion in the same run. iconv
// gets a reused output buffer, so any allocation cost counts against our side only.
#include "kanjconv/KanjConv.h"

#include "tests/kanjconv/Iconv.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr size_t kTextSize = 1 << 20;

struct Texts {
    std::string sjis, jis, euc;
};

// Each encoding of `utf8` repeated to at least 1 MiB. Every piece ends in ASCII, so the
// ISO-2022-JP pieces join into valid text.
Texts Encode(const std::string& utf8) {
    Texts t;
    const auto repeat = [](const std::string& piece) {
        std::string text;
        while (text.size() < kTextSize) {
            text += piece;
        }
        return text;
    };
    t.sjis = repeat(*kanjtest::Iconv("SHIFT_JIS", "UTF-8").Convert(utf8));
    t.jis = repeat(*kanjtest::Iconv("ISO-2022-JP", "UTF-8").Convert(utf8));
    t.euc = repeat(*kanjtest::Iconv("EUC-JP", "UTF-8").Convert(utf8));
    return t;
}

// A real JPRS answer: ASCII labels and padding around kana and kanji, CR LF lines.
const Texts& AnswerTexts() {
    static const Texts texts = [] {
        // The tests' copy of the answer. __FILE__ would not do: ccache's base_dir makes it
        // relative to the build tree, and the benchmark may start from anywhere.
        std::ifstream in(std::filesystem::path(ZW_SOURCE_DIR) / "tests/kanjconv/data" /
                             "jprs-yahoo.co.jp-ja.txt",
                         std::ios::binary);
        const std::string sample{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
        if (sample.empty()) {
            throw std::runtime_error("sample answer not found");
        }
        return Encode(sample);
    }();
    return texts;
}

// Dense text: every JIS X 0208 character in order, 40 to a line, CR LF.
const Texts& DenseTexts() {
    static const Texts texts = [] {
        kanjtest::Iconv toUtf8("UTF-8", "EUC-JP");
        std::string utf8;
        int onLine = 0;
        for (int c1 = 0xA1; c1 <= 0xF4; ++c1) {
            for (int c2 = 0xA1; c2 <= 0xFE; ++c2) {
                const auto ch =
                    toUtf8.Convert(std::string{static_cast<char>(c1), static_cast<char>(c2)});
                if (!ch) {
                    continue;
                }
                utf8 += *ch;
                if (++onLine == 40) {
                    utf8 += "\r\n";
                    onLine = 0;
                }
            }
        }
        utf8 += "\r\n";
        return Encode(utf8);
    }();
    return texts;
}

const Texts& TextsFor(const benchmark::State& state) {
    return state.range(0) == 0 ? AnswerTexts() : DenseTexts();
}

void RunIconv(benchmark::State& state, const char* from, const std::string& text) {
    iconv_t cd = iconv_open("SHIFT_JIS", from);
    std::string out(text.size() * 2, '\0');
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(text.data());
        size_t srcLeft = text.size();
        char* dst = out.data();
        size_t dstLeft = out.size();
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            state.SkipWithError("iconv failed");
            break;
        }
        benchmark::DoNotOptimize(dst);
        benchmark::ClobberMemory();
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

template <typename Fn> void RunOurs(benchmark::State& state, Fn fn, const std::string& text) {
    for (auto _ : state) {
        std::string out = fn(text);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Argument 0: the real answer; 1: dense Japanese text.
void BM_JisToSjis(benchmark::State& s) {
    RunOurs(s, JisToSjis, TextsFor(s).jis);
}
void BM_IconvJisToSjis(benchmark::State& s) {
    RunIconv(s, "ISO-2022-JP", TextsFor(s).jis);
}
void BM_EucToSjis(benchmark::State& s) {
    RunOurs(s, EucToSjis, TextsFor(s).euc);
}
void BM_IconvEucToSjis(benchmark::State& s) {
    RunIconv(s, "EUC-JP", TextsFor(s).euc);
}
// AutoDetect runs the detection tests before it converts.
void BM_AutoDetectJis(benchmark::State& s) {
    RunOurs(s, AutoDetect, TextsFor(s).jis);
}
void BM_AutoDetectEuc(benchmark::State& s) {
    RunOurs(s, AutoDetect, TextsFor(s).euc);
}
void BM_AutoDetectSjis(benchmark::State& s) {
    RunOurs(s, AutoDetect, TextsFor(s).sjis);
}

} // namespace

BENCHMARK(BM_JisToSjis)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IconvJisToSjis)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AutoDetectJis)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EucToSjis)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IconvEucToSjis)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AutoDetectEuc)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AutoDetectSjis)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
