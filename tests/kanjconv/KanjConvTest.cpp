#include "kanjconv/KanjConv.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

// "日本" in the three encodings (JIS 0x467C 0x4B5C).
const std::string kNihonSjis = "\x93\xfa\x96\x7b";
const std::string kNihonEuc = "\xc6\xfc\xcb\xdc";
const std::string kNihonJis = "\x1b$BF|K\\\x1b(B";
// "あい": its EUC form holds no Shift-JIS lead byte, so only the EUC test passes.
const std::string kAiSjis = "\x82\xa0\x82\xa2";
const std::string kAiEuc = "\xa4\xa2\xa4\xa4";

TEST(JisCodeToSjis, WorkedExamples) {
    EXPECT_EQ(JisCodeToSjis(0x3021), 0x889F); // even first byte, trail raised past 0x7F
    EXPECT_EQ(JisCodeToSjis(0x2521), 0x8340); // odd first byte
    EXPECT_EQ(JisCodeToSjis(0x2560), 0x8380); // trail 127 raised to 128
    EXPECT_EQ(JisCodeToSjis(0x255F), 0x837E); // last trail below the gap
    EXPECT_EQ(JisCodeToSjis(0xB0A1), 0x889F); // the EUC form of 0x3021
    EXPECT_EQ(JisCodeToSjis(0x2121), 0x8140); // first cell
    EXPECT_EQ(JisCodeToSjis(0x7426), 0xEAA4); // last character of JIS X 0208
}

TEST(JisCodeToSjis, LeadByteJumpsAtRow63) {
    EXPECT_EQ(JisCodeToSjis(0x5E21) >> 8, 0x9F);
    EXPECT_EQ(JisCodeToSjis(0x5F21) >> 8, 0xE0);
    EXPECT_EQ(JisCodeToSjis(0x7E7E), 0xEFFC); // highest cell stays a valid pair
}

// The bulk conversions must apply the same arithmetic to every possible pair of bytes.
TEST(JisCodeToSjis, BulkConversionsAgreeForEveryPair) {
    for (int c1 = 1; c1 <= 0xFF; ++c1) {
        for (int c2 = 1; c2 <= 0xFF; ++c2) {
            const uint16_t sjis = JisCodeToSjis(static_cast<uint16_t>(c1 << 8 | c2));
            const std::string expect{static_cast<char>(sjis >> 8), static_cast<char>(sjis & 0xFF)};
            const std::string pair{static_cast<char>(c1), static_cast<char>(c2)};
            if (c1 != 0x1B) {
                ASSERT_EQ(JisToSjis("\x1b$B" + pair), expect) << std::hex << c1 << ' ' << c2;
            }
            const bool katakana = c1 == 0x8E && c2 >= 0xA1 && c2 <= 0xDF;
            const bool threeByte = c1 == 0x8F && c2 >= 0x80;
            if (c1 >= 0x80 && !katakana && !threeByte) {
                ASSERT_EQ(EucToSjis(pair), expect) << std::hex << c1 << ' ' << c2;
            }
        }
    }
}

// Long runs go through the bulk paths; each pair must still come out as it does alone,
// whatever its place in the run and whatever interrupts it.
TEST(JisCodeToSjis, LongRunsConvertLikeSinglePairs) {
    for (int offset = 0; offset < 8; ++offset) {
        std::string jis = "\x1b$B";
        std::string euc(offset, 'x');
        std::string expect(offset, 'x');
        std::string expectJis;
        for (int c1 = 0x21; c1 <= 0x7E; ++c1) {
            for (int c2 = 0x21; c2 <= 0x7E; c2 += 1 + (c1 % 3)) {
                const uint16_t sjis = JisCodeToSjis(static_cast<uint16_t>(c1 << 8 | c2));
                const std::string out{static_cast<char>(sjis >> 8), static_cast<char>(sjis & 0xFF)};
                jis += {static_cast<char>(c1), static_cast<char>(c2)};
                euc += {static_cast<char>(c1 | 0x80), static_cast<char>(c2 | 0x80)};
                expect += out;
                expectJis += out;
                if ((c1 + c2) % 29 == offset) {
                    // Break the run with katakana, a three-byte character, ASCII or a mode switch.
                    euc += "\x8e\xb6\x8f\xb0\xa1";
                    expect += "\xb6\x81\xac";
                    euc += "\r\n";
                    expect += "\r\n";
                    jis += "\x1b(Bab\x1b$B";
                    expectJis += "ab";
                }
            }
        }
        EXPECT_EQ(EucToSjis(euc), expect) << "offset " << offset;
        EXPECT_EQ(JisToSjis(std::string(offset, 'x') + jis), std::string(offset, 'x') + expectJis)
            << "offset " << offset;
    }
}

TEST(ByteClasses, Boundaries) {
    EXPECT_FALSE(IsSjisLead(0x80));
    EXPECT_TRUE(IsSjisLead(0x81));
    EXPECT_TRUE(IsSjisLead(0x9F));
    EXPECT_FALSE(IsSjisLead(0xA0));
    EXPECT_FALSE(IsSjisLead(0xDF));
    EXPECT_TRUE(IsSjisLead(0xE0));
    EXPECT_TRUE(IsSjisLead(0xFC));
    EXPECT_FALSE(IsSjisLead(0xFD));
    EXPECT_FALSE(IsSjisTrail(0x3F));
    EXPECT_TRUE(IsSjisTrail(0x40));
    EXPECT_TRUE(IsSjisTrail(0x7F)); // the class is a plain range
    EXPECT_TRUE(IsSjisTrail(0xFC));
    EXPECT_FALSE(IsSjisTrail(0xFD));
}

TEST(Detection, SjisTest) {
    EXPECT_EQ(IsSjisText(""), 0);
    EXPECT_EQ(IsSjisText("plain ascii"), 0);
    EXPECT_EQ(IsSjisText("x" + kNihonSjis + "y"), kSjisFlag);
    EXPECT_EQ(IsSjisText("\x93"s), 0);              // lead byte at the very end
    EXPECT_EQ(IsSjisText(kNihonSjis + "\x93 "), 0); // lead followed by a non-trail
    EXPECT_EQ(IsSjisText("\xb1\xb2"s), 0);          // half-width katakana only: no pair
    // A zero byte ends the text: the bad lead behind it is never seen.
    EXPECT_EQ(IsSjisText(kNihonSjis + "\0\x93"s), kSjisFlag);
    EXPECT_EQ(IsSjisText("\0"s + kNihonSjis), 0);
}

TEST(Detection, EucTest) {
    EXPECT_EQ(IsEucText("plain ascii"), 0);
    EXPECT_EQ(IsEucText("x" + kNihonEuc + "\r\n"), kEucFlag);
    EXPECT_EQ(IsEucText(kNihonEuc + "\xc6"), 0); // odd high byte at the end
    EXPECT_EQ(IsEucText("\xc6"
                        "a"s),
              0);                                // high byte followed by ASCII
    EXPECT_EQ(IsEucText("\x8e\xb1"s), kEucFlag); // katakana pair
    EXPECT_EQ(IsEucText(kNihonEuc + "\0\xc6"s), kEucFlag);
}

TEST(Detection, JisTest) {
    EXPECT_EQ(IsJisText("no escapes"), 0);
    EXPECT_EQ(IsJisText(kNihonJis), kJisFlag);
    EXPECT_EQ(IsJisText("\x1b$@F|\x1b(J"), kJisFlag);
    EXPECT_EQ(IsJisText(kNihonJis + "\x1b(I"), 0); // one unknown escape fails it all
    EXPECT_EQ(IsJisText("\x1b$"), 0);              // cut-off escape
    EXPECT_EQ(IsJisText("\x1b"), 0);
    EXPECT_EQ(IsJisText(kNihonJis + "\0\x1b(I"s), kJisFlag);
}

TEST(JisToSjis, ConvertsBetweenEscapes) {
    EXPECT_EQ(JisToSjis("a" + kNihonJis + "b\r\n"), "a" + kNihonSjis + "b\r\n");
    EXPECT_EQ(JisToSjis("\x1b$@F|\x1b(JK"), "\x93\xfa"
                                            "K");
}

TEST(JisToSjis, TextWithoutEscapesIsCopied) {
    const std::string text = "abc 123\r\n\t~\x7f";
    EXPECT_EQ(JisToSjis(text), text);
    // Without escapes even high bytes pass through untouched.
    EXPECT_EQ(JisToSjis(kNihonSjis), kNihonSjis);
}

TEST(JisToSjis, UnknownEscapeIsSkippedAndKeepsMode) {
    // In two-byte mode an unknown escape is dropped and the pairs go on.
    EXPECT_EQ(JisToSjis("\x1b$BF|\x1b(IK\\\x1b(B"), kNihonSjis);
    // In single-byte mode it is dropped and the bytes stay single.
    EXPECT_EQ(JisToSjis("a\x1b(Ibc"), "abc");
}

TEST(JisToSjis, EscapeIsRecognisedInsideTwoByteRun) {
    // An ESC where a first byte is expected is an escape, not half of a pair.
    EXPECT_EQ(JisToSjis("\x1b$BF|\x1b(Bxy"), "\x93\xfa"
                                             "xy");
}

TEST(JisToSjis, LineBreakInsideTwoByteRunIsPaired) {
    // Ill-formed: no return to ASCII before the break; the break is paired like any bytes.
    const std::string out = JisToSjis("\x1b$BF|\r\n");
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out.substr(0, 2), "\x93\xfa");
    EXPECT_EQ(
        static_cast<uint16_t>(static_cast<uint8_t>(out[2]) << 8 | static_cast<uint8_t>(out[3])),
        JisCodeToSjis(0x0D0A));
}

TEST(JisToSjis, IncompleteTailsAreDropped) {
    EXPECT_EQ(JisToSjis("\x1b$BF|K"), "\x93\xfa");      // lone byte in two-byte mode
    EXPECT_EQ(JisToSjis("ab\x1b$"), "ab");              // one byte after ESC
    EXPECT_EQ(JisToSjis("ab\x1b"), "ab");               // ESC at the end
    EXPECT_EQ(JisToSjis("\x1b$BF|K\0\\"s), "\x93\xfa"); // the zero byte cuts the pair
}

TEST(JisToSjis, ZeroByteEndsText) {
    EXPECT_EQ(JisToSjis("ab\0cd"s), "ab");
    EXPECT_EQ(JisToSjis(""), "");
}

TEST(EucToSjis, KeepsAsciiBetweenCharacters) {
    EXPECT_EQ(EucToSjis("A1 " + kNihonEuc + "\r\nz\t" + kNihonEuc + "\n"),
              "A1 " + kNihonSjis + "\r\nz\t" + kNihonSjis + "\n");
}

TEST(EucToSjis, HalfWidthKatakanaBecomesSingleByte) {
    EXPECT_EQ(EucToSjis("\x8e\xb1\x8e\xdf"
                        "a\x8e\xa1"),
              "\xb1\xdf"
              "a\xa1");
    // Only 0xA1 to 0xDF after 0x8E are katakana; other pairs take the two-byte arithmetic.
    const uint16_t other = JisCodeToSjis(0x8EE0);
    const std::string expect{static_cast<char>(other >> 8), static_cast<char>(other & 0xFF)};
    EXPECT_EQ(EucToSjis("\x8e\xe0"), expect);
}

TEST(EucToSjis, ThreeByteCharacterBecomesGetaWithoutShiftingTheRest) {
    // 0x8F 0xB0 0xA1 is a JIS X 0212 kanji; the characters after it must stay aligned.
    const std::string geta = "\x81\xac";
    EXPECT_EQ(EucToSjis("\x8f\xb0\xa1" + kNihonEuc), geta + kNihonSjis);
    EXPECT_EQ(EucToSjis(kNihonEuc + "\x8f\xb0\xa1" + kNihonEuc + kNihonEuc),
              kNihonSjis + geta + kNihonSjis + kNihonSjis);
    EXPECT_EQ(EucToSjis("\x8f\xb0"), ""); // cut off after two of its three bytes
    EXPECT_EQ(EucToSjis("a\x8f"), "a");   // cut off after one
    // Not followed by two high bytes: an ordinary (ill-formed) pair.
    const uint16_t pair = JisCodeToSjis(0x8FB0);
    const std::string expect{static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF), 'z'};
    EXPECT_EQ(EucToSjis("\x8f\xb0z"), expect);
}

TEST(EucToSjis, IncompleteTailsAreDropped) {
    EXPECT_EQ(EucToSjis(kNihonEuc + "\xc6"), kNihonSjis);
    EXPECT_EQ(EucToSjis("ab\x8e"), "ab");
    EXPECT_EQ(EucToSjis("ab\xc6\0\xfc"s), "ab");
}

TEST(AutoDetect, AsciiIsUnchanged) {
    const std::string text = "Domain Name: EXAMPLE.JP\r\n[Status] Active\r\n";
    EXPECT_EQ(IsSjisText(text) | IsEucText(text) | IsJisText(text), 0);
    EXPECT_EQ(AutoDetect(text), text);
}

TEST(AutoDetect, ValidAsBothSjisAndEucIsUnchanged) {
    // "日本" in EUC happens to be valid Shift-JIS too (0xFC 0xCB is a pair): left alone.
    EXPECT_EQ(IsSjisText(kNihonEuc) | IsEucText(kNihonEuc), 3);
    EXPECT_EQ(AutoDetect(kNihonEuc), kNihonEuc);
    // 0xE0 0xA1 is a Shift-JIS pair and, having both high bits, an EUC pair too.
    const std::string text = "x\xe0\xa1y";
    EXPECT_EQ(IsSjisText(text) | IsEucText(text) | IsJisText(text), 3);
    EXPECT_EQ(AutoDetect(text), text);
}

TEST(AutoDetect, EvenRunsOfHalfWidthKatakanaAreTakenForEuc) {
    const std::string text = "\xb1\xb2 \xb3\xb4";
    EXPECT_EQ(IsSjisText(text) | IsEucText(text) | IsJisText(text), kEucFlag);
    EXPECT_EQ(AutoDetect(text), EucToSjis(text));
    EXPECT_NE(AutoDetect(text), text);
}

TEST(AutoDetect, EucIsConverted) {
    EXPECT_EQ(IsSjisText(kAiEuc) | IsEucText(kAiEuc) | IsJisText(kAiEuc), kEucFlag);
    EXPECT_EQ(AutoDetect("a" + kAiEuc + "b\r\n"), "a" + kAiSjis + "b\r\n");
}

TEST(AutoDetect, JisWinsOverOtherFlags) {
    // Valid Shift-JIS bytes beside the escapes: the JIS test decides.
    const std::string text = kNihonJis + kNihonSjis;
    EXPECT_EQ(IsSjisText(text), kSjisFlag);
    EXPECT_EQ(AutoDetect(text), JisToSjis(text));
    EXPECT_EQ(AutoDetect(kNihonJis), kNihonSjis);
}

TEST(AutoDetect, UnknownEscapeLeavesTextUnchanged) {
    const std::string text = "\x1b(I\x31\x32\x1b(B";
    EXPECT_EQ(IsJisText(text), 0);
    EXPECT_EQ(AutoDetect(text), text);
}

TEST(AutoDetect, StopsAtZeroByte) {
    EXPECT_EQ(AutoDetect("abc\0def"s), "abc");
    EXPECT_EQ(AutoDetect(kNihonSjis + "\0tail"s), kNihonSjis);
    EXPECT_EQ(AutoDetect(kAiEuc + "\0\xc6"s), kAiSjis);
}

} // namespace
