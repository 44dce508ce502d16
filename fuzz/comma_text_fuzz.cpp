// Comma lists of the settings file: splitting any text, and joining then splitting again
// gives back the items.
//
// Input: the text to split; the same bytes cut at 0x1F are also items to join.
#include "fuzz/FuzzCommon.h"
#include "settings/IniParam.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const auto items = settings::SplitCommaText(text);
    FUZZ_CHECK(settings::SplitCommaText(settings::CommaText(items)) == items);

    // A zero byte ends a comma text, so items holding one cannot come back whole.
    if (text.find('\0') == std::string_view::npos) {
        std::vector<std::string> given;
        for (auto part : fuzz::SplitInput(text, "\x1f", 64))
            given.emplace_back(part);
        FUZZ_CHECK(settings::SplitCommaText(settings::CommaText(given)) == given);
    }

    // Integers: what parses is the number's 32-bit pattern, and it prints back the same.
    std::int32_t value = 0;
    if (settings::TryStrToInt(text, value)) {
        std::int32_t back = 0;
        FUZZ_CHECK(settings::TryStrToInt(std::to_string(value), back) && back == value);
        FUZZ_CHECK(settings::StrToInt(text) == value);
    } else {
        bool threw = false;
        try {
            (void)settings::StrToInt(text);
        } catch (const EConvertError&) {
            threw = true;
        }
        FUZZ_CHECK(threw);
    }
    return 0;
}
