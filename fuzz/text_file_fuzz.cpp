// Text files in CP932 or UTF-8: the UTF-8 test (against glibc's iconv), the CP932 decoding,
// line splitting, reading a file (with Servhit.key's reader) and writing lines back.
#include "engine/WhoisText.h"
#include "fuzz/FuzzCommon.h"
#include "platform/TextFile.h"
#include "tests/kanjconv/Iconv.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string JoinCrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::ScratchPath("text");
    static const std::string copy = fuzz::ScratchPath("text-copy");
    static kanjtest::Iconv utf8Check("UTF-32LE", "UTF-8");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The UTF-8 test agrees with iconv (which refuses overlong forms and surrogates too).
    const bool valid = platform::IsValidUtf8(bytes);
    FUZZ_CHECK(valid == utf8Check.Convert(bytes).has_value());

    const std::string decoded = platform::Cp932ToUtf8(bytes);
    FUZZ_CHECK(platform::IsValidUtf8(decoded));
    const std::string any = platform::ToUtf8(bytes);
    FUZZ_CHECK(platform::IsValidUtf8(any));
    FUZZ_CHECK(valid ? any == bytes : any == decoded);

    // Lines hold no line breaks, and only the breaks themselves are lost.
    for (bool stopAtNul : {true, false}) {
        const auto lines = platform::SplitLines(bytes, stopAtNul);
        std::string rest;
        for (const auto& l : lines) {
            FUZZ_CHECK(l.find_first_of("\r\n") == std::string::npos);
            if (stopAtNul)
                FUZZ_CHECK(l.find('\0') == std::string::npos);
            rest += l;
        }
        std::string stripped;
        for (char c : stopAtNul ? bytes.substr(0, bytes.find('\0')) : bytes)
            if (c != '\r' && c != '\n')
                stripped += c;
        FUZZ_CHECK(rest == stripped);
        FUZZ_CHECK(platform::SplitLines(JoinCrLf(lines), stopAtNul) == lines);
    }

    // A file read gives UTF-8 lines; written back and read again it gives the same lines.
    fuzz::WriteBytes(path, bytes);
    std::vector<std::string> lines;
    FUZZ_CHECK(platform::ReadTextLines(path, lines));
    for (const auto& l : lines)
        FUZZ_CHECK(platform::IsValidUtf8(l));
    platform::WriteTextLines(copy, lines);
    std::vector<std::string> again;
    FUZZ_CHECK(platform::ReadTextLines(copy, again));
    FUZZ_CHECK(again == lines);
    platform::TakeSkippedLines();

    std::vector<std::string> keys;
    FUZZ_CHECK(LoadHitKeys(path, keys));
    for (const auto& k : keys)
        FUZZ_CHECK(!k.empty() && platform::IsValidUtf8(k));
    return 0;
}
