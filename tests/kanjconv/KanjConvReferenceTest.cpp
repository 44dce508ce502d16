// The fast routines against plain byte-at-a-time versions of the same rules, on random texts
// made of the bytes that matter (escapes, ASCII, pairs, katakana and three-byte leads) and
// long enough to run through the eight-byte paths.
#include "kanjconv/KanjConv.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

bool Lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool Trail(unsigned char b) {
    return b >= 0x40 && b <= 0xFC;
}

Bytes UpToNul(const std::string& text) {
    Bytes s;
    for (char c : text) {
        if (c == '\0')
            break;
        s.push_back(static_cast<unsigned char>(c));
    }
    return s;
}

void PutPair(std::string& out, unsigned c1, unsigned c2) {
    const uint16_t code = JisCodeToSjis(static_cast<uint16_t>((c1 << 8) | c2));
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

int RefSjis(const Bytes& s) {
    int result = 0;
    for (size_t i = 0; i < s.size();) {
        if (!Lead(s[i])) {
            ++i;
            continue;
        }
        if (i + 1 >= s.size() || !Trail(s[i + 1]))
            return 0;
        result = 1;
        i += 2;
    }
    return result;
}

int RefEuc(const Bytes& s) {
    int result = 0;
    for (size_t i = 0; i < s.size();) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        if (i + 1 >= s.size() || s[i + 1] < 0x80)
            return 0;
        result = 2;
        i += 2;
    }
    return result;
}

bool KnownEscape(unsigned char e1, unsigned char e2) {
    return (e1 == '$' && (e2 == 'B' || e2 == '@')) || (e1 == '(' && (e2 == 'J' || e2 == 'B'));
}

int RefJis(const Bytes& s) {
    int result = 0;
    for (size_t i = 0; i < s.size();) {
        if (s[i] != 0x1B) {
            ++i;
            continue;
        }
        if (s.size() - i < 3 || !KnownEscape(s[i + 1], s[i + 2]))
            return 0;
        result = 4;
        i += 3;
    }
    return result;
}

std::string RefJisToSjis(const Bytes& s) {
    std::string out;
    bool twoByte = false;
    for (size_t i = 0; i < s.size();) {
        if (s[i] == 0x1B) {
            if (s.size() - i < 3)
                break;
            if (s[i + 1] == '$' && (s[i + 2] == 'B' || s[i + 2] == '@'))
                twoByte = true;
            else if (s[i + 1] == '(' && (s[i + 2] == 'J' || s[i + 2] == 'B'))
                twoByte = false;
            i += 3;
        } else if (twoByte) {
            if (s.size() - i < 2)
                break;
            PutPair(out, s[i], s[i + 1]);
            i += 2;
        } else {
            out += static_cast<char>(s[i]);
            ++i;
        }
    }
    return out;
}

std::string RefEucToSjis(const Bytes& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        if (s.size() - i < 2)
            break;
        const unsigned char b2 = s[i + 1];
        if (b == 0x8E && b2 >= 0xA1 && b2 <= 0xDF) {
            out += static_cast<char>(b2);
            i += 2;
        } else if (b == 0x8F && b2 >= 0x80) {
            if (s.size() - i < 3)
                break;
            if (s[i + 2] >= 0x80) {
                out += "\x81\xAC"; // geta
                i += 3;
            } else {
                PutPair(out, b, b2);
                i += 2;
            }
        } else {
            PutPair(out, b, b2);
            i += 2;
        }
    }
    return out;
}

std::string RefAuto(const Bytes& s) {
    const int flags = RefSjis(s) | RefEuc(s) | RefJis(s);
    if (flags >= 4)
        return RefJisToSjis(s);
    if (flags == 2)
        return RefEucToSjis(s);
    return std::string(s.begin(), s.end());
}

// Random text from pieces that steer the routines into each of their branches.
std::string RandomText(std::mt19937& rng, size_t pieces) {
    static const char* const kEscapes[] = {"\x1b$B", "\x1b$@", "\x1b(B", "\x1b(J",
                                           "\x1b(I", "\x1b$",  "\x1b",   "\x1b$A"};
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text;
    for (size_t p = 0; p < pieces; ++p) {
        switch (kind(rng)) {
        case 0:
            text += kEscapes[byte(rng) % 8];
            break;
        case 1: // an ASCII run
            for (int k = byte(rng) % 12; k >= 0; --k)
                text += static_cast<char>(0x20 + byte(rng) % 0x5F);
            break;
        case 2: // a run of high pairs, as EUC text has
            for (int k = byte(rng) % 10; k >= 0; --k) {
                text += static_cast<char>(0xA1 + byte(rng) % 0x5E);
                text += static_cast<char>(0xA1 + byte(rng) % 0x5E);
            }
            break;
        case 3: // half-width katakana in EUC or Shift-JIS form
            if (byte(rng) % 2)
                text += '\x8e';
            text += static_cast<char>(0xA1 + byte(rng) % 0x3F);
            break;
        case 4: // a three-byte EUC character or a lone 0x8F
            text += '\x8f';
            for (int k = byte(rng) % 3; k > 0; --k)
                text += static_cast<char>(0xA1 + byte(rng) % 0x5E);
            break;
        case 5: // a Shift-JIS pair, its trail possibly below 0x80
            text += static_cast<char>(byte(rng) % 2 ? 0x81 + byte(rng) % 0x1F
                                                    : 0xE0 + byte(rng) % 0x1D);
            text += static_cast<char>(0x40 + byte(rng) % 0xBD);
            break;
        case 6: // a run of JIS pairs
            for (int k = byte(rng) % 10; k >= 0; --k) {
                text += static_cast<char>(0x21 + byte(rng) % 0x5E);
                text += static_cast<char>(0x21 + byte(rng) % 0x5E);
            }
            break;
        case 7:
            text += "\r\n";
            break;
        case 8:
            text += static_cast<char>(byte(rng));
            break;
        default: // rarely a zero byte, which ends the text
            if (byte(rng) < 8)
                text += '\0';
            break;
        }
    }
    return text;
}

TEST(KanjConvReference, RandomTextsGiveTheSameResultsAsByteAtATimeRules) {
    std::mt19937 rng(7);
    for (int round = 0; round < 30000; ++round) {
        const std::string text = RandomText(rng, 1 + round % 24);
        const Bytes s = UpToNul(text);
        ASSERT_EQ(IsSjisText(text), RefSjis(s)) << testing::PrintToString(text);
        ASSERT_EQ(IsEucText(text), RefEuc(s)) << testing::PrintToString(text);
        ASSERT_EQ(IsJisText(text), RefJis(s)) << testing::PrintToString(text);
        ASSERT_EQ(JisToSjis(text), RefJisToSjis(s)) << testing::PrintToString(text);
        ASSERT_EQ(EucToSjis(text), RefEucToSjis(s)) << testing::PrintToString(text);
        ASSERT_EQ(AutoDetect(text), RefAuto(s)) << testing::PrintToString(text);
    }
}

// Texts that pass a test only as a whole, so the eight-byte paths must not decide early.
TEST(KanjConvReference, LongValidRunsWithOneFaultAtEveryPlace) {
    std::string euc;
    for (int k = 0; k < 40; ++k)
        euc += "\xc6\xfc";
    ASSERT_EQ(IsEucText(euc), 2);
    for (size_t at = 0; at < euc.size(); ++at) {
        std::string bad = euc;
        bad[at] = 'a'; // splits the pair it stands in
        EXPECT_EQ(IsEucText(bad), RefEuc(UpToNul(bad))) << at;
        EXPECT_EQ(EucToSjis(bad), RefEucToSjis(UpToNul(bad))) << at;
    }
    std::string sjis;
    for (int k = 0; k < 40; ++k)
        sjis += "\x93\xfa";
    ASSERT_EQ(IsSjisText(sjis), 1);
    for (size_t at = 0; at < sjis.size(); ++at) {
        std::string bad = sjis;
        bad[at] = '\x20';
        EXPECT_EQ(IsSjisText(bad), RefSjis(UpToNul(bad))) << at;
    }
}

} // namespace
