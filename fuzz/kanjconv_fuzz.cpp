// Japanese code detection and conversion. Raw input checks the documented rules (a zero byte
// ends the text, AutoDetect picks what its tests say); valid JIS and EUC texts built from the
// input are checked against glibc's iconv.
//
// Input: one choice byte, then the text. For the built texts each input byte from 0x20 to
// 0x7D (but 0x5C) is that ASCII character, a byte from 0xA1 to 0xDF a half-width katakana,
// and any other byte with the next one a JIS X 0208 cell (row and cell taken modulo).
#include "fuzz/FuzzCommon.h"
#include "kanjconv/KanjConv.h"
#include "tests/kanjconv/Iconv.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

std::string_view UpToNul(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

// iconv's Shift-JIS for each JIS X 0208 cell (EUC pair), empty when it has none.
const std::array<std::string, 94 * 94>& CellTable() {
    static const auto table = [] {
        std::array<std::string, 94 * 94> t;
        kanjtest::Iconv fromEuc("SHIFT_JIS", "EUC-JP");
        for (int r = 0; r < 94; ++r)
            for (int c = 0; c < 94; ++c) {
                const std::string euc{static_cast<char>(0xA1 + r), static_cast<char>(0xA1 + c)};
                if (auto s = fromEuc.Convert(euc))
                    t[static_cast<size_t>(r * 94 + c)] = *s;
            }
        return t;
    }();
    return table;
}

// iconv's Shift-JIS for each half-width katakana (EUC SS2 and 0xA1 to 0xDF).
const std::array<std::string, 0x3F>& KanaTable() {
    static const auto table = [] {
        std::array<std::string, 0x3F> t;
        kanjtest::Iconv fromEuc("SHIFT_JIS", "EUC-JP");
        for (int k = 0; k < 0x3F; ++k)
            if (auto s = fromEuc.Convert(std::string{'\x8e', static_cast<char>(0xA1 + k)}))
                t[static_cast<size_t>(k)] = *s;
        return t;
    }();
    return table;
}

struct Built {
    std::string jis, euc, expected;
    bool kana = false; // half-width katakana exist in EUC only, so JIS is not compared
};

Built Build(std::string_view in) {
    Built b;
    const auto& cells = CellTable();
    const auto& kana = KanaTable();
    bool twoByte = false;
    for (size_t i = 0; i < in.size(); ++i) {
        const auto x = static_cast<unsigned char>(in[i]);
        if (x >= 0x20 && x <= 0x7D && x != 0x5C) {
            if (twoByte)
                b.jis += "\x1b(B";
            twoByte = false;
            b.jis += static_cast<char>(x);
            b.euc += static_cast<char>(x);
            b.expected += static_cast<char>(x);
        } else if (x >= 0xA1 && x <= 0xDF) {
            const std::string& sjis = kana[x - 0xA1];
            if (sjis.empty())
                continue;
            b.euc += '\x8e';
            b.euc += static_cast<char>(x);
            b.expected += sjis;
            b.kana = true;
        } else if (i + 1 < in.size()) {
            const unsigned r = x % 94;
            const unsigned c = static_cast<unsigned char>(in[++i]) % 94;
            const std::string& sjis = cells[r * 94 + c];
            if (sjis.empty())
                continue;
            if (!twoByte)
                b.jis += "\x1b$B";
            twoByte = true;
            b.jis += static_cast<char>(0x21 + r);
            b.jis += static_cast<char>(0x21 + c);
            b.euc += static_cast<char>(0xA1 + r);
            b.euc += static_cast<char>(0xA1 + c);
            b.expected += sjis;
        }
    }
    if (twoByte)
        b.jis += "\x1b(B";
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string_view cut = UpToNul(text);

    // Nothing past the first zero byte counts.
    const std::string jis = JisToSjis(text);
    const std::string euc = EucToSjis(text);
    const std::string autoText = AutoDetect(text);
    FUZZ_CHECK(jis == JisToSjis(cut));
    FUZZ_CHECK(euc == EucToSjis(cut));
    FUZZ_CHECK(autoText == AutoDetect(cut));
    FUZZ_CHECK(jis.size() <= cut.size());

    // AutoDetect does what its detection tests say.
    const int sjisFlag = IsSjisText(text);
    const int eucFlag = IsEucText(text);
    const int jisFlag = IsJisText(text);
    FUZZ_CHECK(sjisFlag == 0 || sjisFlag == kSjisFlag);
    FUZZ_CHECK(eucFlag == 0 || eucFlag == kEucFlag);
    FUZZ_CHECK(jisFlag == 0 || jisFlag == kJisFlag);
    if (jisFlag)
        FUZZ_CHECK(autoText == jis);
    else if (eucFlag && !sjisFlag)
        FUZZ_CHECK(autoText == euc);
    else
        FUZZ_CHECK(autoText == cut);

    if (size >= 2) {
        const uint16_t code = static_cast<uint16_t>(data[0] << 8 | data[1]);
        const uint16_t s = JisCodeToSjis(code);
        if ((code >> 8) >= 0x21 && (code >> 8) <= 0x7E && (code & 0xFF) >= 0x21 &&
            (code & 0xFF) <= 0x7E) {
            FUZZ_CHECK(IsSjisLead(static_cast<uint8_t>(s >> 8)));
            FUZZ_CHECK(IsSjisTrail(static_cast<uint8_t>(s & 0xFF)));
        }
    }

    // Valid texts: the same Shift-JIS as iconv.
    if (data[0] & 1) {
        const Built b = Build(text);
        FUZZ_CHECK(EucToSjis(b.euc) == b.expected);
        if (!b.kana)
            FUZZ_CHECK(JisToSjis(b.jis) == b.expected);
    }
    return 0;
}
