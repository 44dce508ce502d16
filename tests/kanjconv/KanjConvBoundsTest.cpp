// Random and truncated inputs in buffers of exactly their own size, so that the address
// sanitizer reports any read past the end (a std::string would hide one byte of overread
// behind its terminating zero).
#include "kanjconv/KanjConv.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

// Bytes drawn mostly from the interesting classes: escapes, JIS intermediates, high bytes,
// katakana prefixes, line ends and the occasional zero.
std::vector<char> RandomText(std::mt19937& rng, size_t size) {
    static const unsigned char kPool[] = {0x1B, '$',  '(',  'B',  '@',  'J',  'I',  0x8E, 0xA1,
                                          0xB1, 0xDF, 0xE0, 0xFC, 0xFD, 0x81, 0x9F, 0x40, 0x7F,
                                          0x80, '\r', '\n', ' ',  'a',  0x00, 0xFF};
    std::uniform_int_distribution<size_t> pick(0, sizeof kPool - 1);
    std::uniform_int_distribution<int> any(0, 255);
    std::vector<char> text(size);
    for (char& c : text) {
        c = static_cast<char>(any(rng) < 200 ? kPool[pick(rng)] : any(rng));
    }
    return text;
}

TEST(KanjConvBounds, RandomInputsStayInsideTheirBuffer) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 20000; ++round) {
        const auto buffer = RandomText(rng, round % 37);
        const std::string_view text(buffer.data(), buffer.size());
        const std::string_view upToNul = text.substr(0, text.find('\0'));
        const std::string jis = JisToSjis(text);
        const std::string euc = EucToSjis(text);
        // Escapes vanish and pairs stay pairs (or shrink): output never outgrows the text.
        EXPECT_LE(jis.size(), upToNul.size());
        EXPECT_LE(euc.size(), upToNul.size());
        const int flags = IsSjisText(text) | IsEucText(text) | IsJisText(text);
        const std::string detected = AutoDetect(text);
        if (flags & kJisFlag) {
            EXPECT_EQ(detected, jis);
        } else if (flags == kEucFlag) {
            EXPECT_EQ(detected, euc);
        } else {
            EXPECT_EQ(detected, upToNul);
        }
    }
}

// A text cut anywhere converts to a prefix of the whole text's conversion: the incomplete
// tail is dropped, never copied or misread.
TEST(KanjConvBounds, EveryCutOfAWellFormedTextGivesAPrefix) {
    const std::string jisText = "A\x1b$BF|K\\\x1b(B\r\nz\x1b$@F|\x1b(J.";
    const std::string eucText = "A\xc6\xfc\x8e\xb1\xcb\xdc\r\nz\x8e\xdf\x8f\xb0\xa1\xc6\xfc.";
    const std::string jisWhole = JisToSjis(jisText);
    const std::string eucWhole = EucToSjis(eucText);
    for (size_t cut = 0; cut <= jisText.size(); ++cut) {
        const std::vector<char> buffer(jisText.begin(), jisText.begin() + cut);
        const std::string_view text(buffer.data(), buffer.size());
        EXPECT_TRUE(jisWhole.starts_with(JisToSjis(text))) << "cut " << cut;
        IsJisText(text);
        IsSjisText(text);
        AutoDetect(text);
    }
    for (size_t cut = 0; cut <= eucText.size(); ++cut) {
        const std::vector<char> buffer(eucText.begin(), eucText.begin() + cut);
        const std::string_view text(buffer.data(), buffer.size());
        EXPECT_TRUE(eucWhole.starts_with(EucToSjis(text))) << "cut " << cut;
        IsEucText(text);
        IsSjisText(text);
        AutoDetect(text);
    }
}

} // namespace
