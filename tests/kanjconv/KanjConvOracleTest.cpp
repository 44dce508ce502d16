// Checks the conversions against glibc's iconv, an independent implementation of the
// JIS X 0208 mappings, and against real WHOIS answers.
#include "kanjconv/KanjConv.h"

#include "tests/kanjconv/Iconv.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sstream>

namespace {

using kanjtest::Iconv;

constexpr const char* kEsc2Byte = "\x1b$B";
constexpr const char* kEscAscii = "\x1b(B";

// glibc's SHIFT_JIS is the plain JIS X 0208 mapping (no vendor rows), which is what the
// arithmetic conversion produces; CP932 agrees on JIS X 0208 but adds NEC and IBM rows.
constexpr const char* kSjisCharset = "SHIFT_JIS";

// JIS X 0208:1990 assigns 6879 of the 84 x 94 cells of rows 1 to 84.
constexpr int kJisX0208Assigned = 6879;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Data(const char* name) {
    return std::string(KANJCONV_TEST_DATA) + "/" + name;
}

std::string Hex(const std::string& s) {
    std::ostringstream out;
    for (unsigned char c : s) {
        out << std::hex << static_cast<int>(c) << ' ';
    }
    return out.str();
}

TEST(KanjConvOracle, EveryJisX0208CharacterMatchesIconv) {
    Iconv fromJis(kSjisCharset, "ISO-2022-JP");
    Iconv fromEuc(kSjisCharset, "EUC-JP");
    int compared = 0;
    int skipped = 0;
    for (int row = 1; row <= 84; ++row) {
        for (int cell = 1; cell <= 94; ++cell) {
            const char c1 = static_cast<char>(0x20 + row);
            const char c2 = static_cast<char>(0x20 + cell);
            // Surround the character with ASCII so that mode switching is exercised too.
            const std::string jis = std::string("a") + kEsc2Byte + c1 + c2 + kEscAscii + "z";
            const std::string euc = std::string("a") + static_cast<char>(c1 | 0x80) +
                                    static_cast<char>(c2 | 0x80) + "z";
            const auto expectJis = fromJis.Convert(jis);
            const auto expectEuc = fromEuc.Convert(euc);
            if (!expectJis || !expectEuc) {
                // An unassigned cell: iconv has no character to compare with.
                EXPECT_FALSE(expectJis || expectEuc)
                    << "iconv disagrees with itself at row " << row << " cell " << cell;
                ++skipped;
                continue;
            }
            ASSERT_EQ(*expectJis, *expectEuc);
            EXPECT_EQ(JisToSjis(jis), *expectJis)
                << "row " << row << " cell " << cell << ": " << Hex(JisToSjis(jis));
            EXPECT_EQ(EucToSjis(euc), *expectEuc)
                << "row " << row << " cell " << cell << ": " << Hex(EucToSjis(euc));
            ++compared;
        }
    }
    // Every assigned character was compared; the rest are the unassigned cells.
    EXPECT_EQ(compared, kJisX0208Assigned);
    EXPECT_EQ(skipped, 84 * 94 - kJisX0208Assigned);
    RecordProperty("compared", compared);
    RecordProperty("skipped_unmapped", skipped);
}

// The cells iconv cannot check still have to land on distinct, well-formed Shift-JIS pairs.
TEST(KanjConvOracle, EveryCellMapsToADistinctWellFormedPair) {
    std::set<uint16_t> seen;
    for (int c1 = 0x21; c1 <= 0x7E; ++c1) {
        for (int c2 = 0x21; c2 <= 0x7E; ++c2) {
            const uint16_t sjis = JisCodeToSjis(static_cast<uint16_t>(c1 << 8 | c2));
            const uint8_t lead = sjis >> 8;
            const uint8_t trail = sjis & 0xFF;
            EXPECT_TRUE(IsSjisLead(lead)) << std::hex << c1 << ' ' << c2;
            EXPECT_TRUE(IsSjisTrail(trail)) << std::hex << c1 << ' ' << c2;
            EXPECT_NE(trail, 0x7F) << std::hex << c1 << ' ' << c2;
            EXPECT_TRUE(seen.insert(sjis).second) << std::hex << c1 << ' ' << c2;
        }
    }
}

class RealAnswer : public ::testing::Test {
protected:
    void SetUp() override {
        utf8_ = ReadFile(Data("jprs-yahoo.co.jp-ja.txt"));
        sjis_ = *Iconv(kSjisCharset, "UTF-8").Convert(utf8_);
        jis_ = *Iconv("ISO-2022-JP", "UTF-8").Convert(utf8_);
        euc_ = *Iconv("EUC-JP", "UTF-8").Convert(utf8_);
        ASSERT_NE(sjis_, utf8_);
    }
    std::string utf8_, sjis_, jis_, euc_;
};

TEST_F(RealAnswer, AutoDetectConvertsJisForm) {
    EXPECT_EQ(IsJisText(jis_), kJisFlag);
    EXPECT_EQ(AutoDetect(jis_), sjis_);
}

TEST_F(RealAnswer, AutoDetectConvertsEucForm) {
    EXPECT_EQ(IsSjisText(euc_) | IsEucText(euc_) | IsJisText(euc_), kEucFlag);
    EXPECT_EQ(AutoDetect(euc_), sjis_);
}

TEST_F(RealAnswer, AutoDetectKeepsShiftJisForm) {
    EXPECT_EQ(IsSjisText(sjis_), kSjisFlag);
    EXPECT_EQ(IsJisText(sjis_), 0);
    EXPECT_EQ(AutoDetect(sjis_), sjis_);
}

TEST_F(RealAnswer, ExplicitConversionsAgreeWithIconv) {
    EXPECT_EQ(JisToSjis(jis_), sjis_);
    EXPECT_EQ(EucToSjis(euc_), sjis_);
}

TEST(RealAnswerIso2022, JpnicAnswerConvertsLikeIconv) {
    const std::string jis = ReadFile(Data("jpnic-218.43.43.43-ja-iso2022jp.txt"));
    const auto expect = Iconv(kSjisCharset, "ISO-2022-JP").Convert(jis);
    ASSERT_TRUE(expect.has_value());
    EXPECT_EQ(IsJisText(jis), kJisFlag);
    EXPECT_EQ(AutoDetect(jis), *expect);
    EXPECT_EQ(JisToSjis(jis), *expect);
}

} // namespace
