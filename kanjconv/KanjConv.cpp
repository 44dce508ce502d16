#include "kanjconv/KanjConv.h"

#include <cstring>

namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr uint16_t kGeta = 0x81AC; // "〓" in Shift-JIS

// The text ends at its first zero byte, as it did for the C strings the answers came in.
std::string_view UpToNul(std::string_view text) {
    if (text.empty()) {
        return text; // memchr must not see the null data of an empty view
    }
    const void* nul = std::memchr(text.data(), 0, text.size());
    if (nul == nullptr) {
        return text;
    }
    return text.substr(0, static_cast<const char*>(nul) - text.data());
}

inline unsigned char At(std::string_view s, size_t i) {
    return static_cast<unsigned char>(s[i]);
}

// Answers are mostly ASCII: step over bytes below 0x80 eight at a time.
inline size_t SkipAscii(std::string_view s, size_t i) {
    const size_t n = s.size();
    while (n - i >= 8) {
        uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & 0x8080808080808080ULL) {
            break;
        }
        i += 8;
    }
    while (i < n && At(s, i) < 0x80) {
        ++i;
    }
    return i;
}

// The two-byte arithmetic: bit 7 of each byte is ignored, so JIS and EUC codes share it.
constexpr uint16_t SjisCode(unsigned c1, unsigned c2) {
    const unsigned j1 = c1 & 0x7F;
    const unsigned j2 = c2 & 0x7F;
    unsigned s2 = (j1 & 1) ? j2 + 31 : j2 + 125;
    if (s2 > 126) {
        ++s2; // Shift-JIS trail bytes skip 0x7F
    }
    const unsigned s1 = (j1 < 95 ? j1 + 225 : j1 + 353) >> 1;
    return static_cast<uint16_t>((s1 << 8) | s2);
}

// The lead byte depends on the first byte only and the trail byte on the second and the
// first's parity, so two small tables replace the branches of the arithmetic in bulk work.
struct PairTables {
    unsigned char lead[256];
    unsigned char trail[2][256];
};

constexpr PairTables MakePairTables() {
    PairTables t{};
    for (unsigned b = 0; b < 256; ++b) {
        t.lead[b] = static_cast<unsigned char>(SjisCode(b, 0x21) >> 8);
        t.trail[0][b] = static_cast<unsigned char>(SjisCode(0x20, b) & 0xFF);
        t.trail[1][b] = static_cast<unsigned char>(SjisCode(0x21, b) & 0xFF);
    }
    return t;
}

constexpr PairTables kPairTables = MakePairTables();

// Shift-JIS byte classes as 0/1 tables for the branch-free detection loop.
struct ByteClassTables {
    unsigned char lead[256];
    unsigned char trail[256];
};

constexpr ByteClassTables MakeByteClassTables() {
    ByteClassTables t{};
    for (unsigned b = 0; b < 256; ++b) {
        t.lead[b] = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        t.trail[b] = b >= 0x40 && b <= 0xFC;
    }
    return t;
}

constexpr ByteClassTables kByteClasses = MakeByteClassTables();

// True when all eight bytes at p have bit 7 set.
inline bool AllHigh(const unsigned char* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return (word & 0x8080808080808080ULL) == 0x8080808080808080ULL;
}

inline void PutCode(char*& out, unsigned char c1, unsigned char c2) {
    out[0] = static_cast<char>(kPairTables.lead[c1]);
    out[1] = static_cast<char>(kPairTables.trail[c1 & 1][c2]);
    out += 2;
}

inline void PutRun(char*& out, std::string_view s, size_t from, size_t to) {
    std::memcpy(out, s.data() + from, to - from);
    out += to - from;
}

std::string JisToSjisOf(std::string_view s) {
    const size_t n = s.size();
    // Escapes vanish and pairs stay pairs, so the output never outgrows the input.
    std::string result(n, '\0');
    char* out = result.data();
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    bool twoByte = false;
    size_t i = 0;
    while (i < n) {
        const unsigned char b = At(s, i);
        if (b == kEsc) {
            if (n - i < 3) {
                break; // a cut-off escape is dropped
            }
            const unsigned char e1 = At(s, i + 1);
            const unsigned char e2 = At(s, i + 2);
            if (e1 == '$' && (e2 == 'B' || e2 == '@')) {
                twoByte = true;
            } else if (e1 == '(' && (e2 == 'J' || e2 == 'B')) {
                twoByte = false;
            }
            i += 3;
        } else if (twoByte) {
            // Four pairs at a time while no escape starts among them; a byte 0x1B in the
            // second place of a pair belongs to the pair.
            while (n - i >= 8 && p[i] != kEsc && p[i + 2] != kEsc && p[i + 4] != kEsc &&
                   p[i + 6] != kEsc) {
                PutCode(out, p[i], p[i + 1]);
                PutCode(out, p[i + 2], p[i + 3]);
                PutCode(out, p[i + 4], p[i + 5]);
                PutCode(out, p[i + 6], p[i + 7]);
                i += 8;
            }
            if (i == n || p[i] == kEsc) {
                continue;
            }
            if (n - i < 2) {
                break; // half a character at the end is dropped
            }
            PutCode(out, p[i], p[i + 1]);
            i += 2;
        } else {
            // Everything up to the next escape passes through unchanged.
            const void* esc = std::memchr(s.data() + i, kEsc, n - i);
            const size_t end = esc ? static_cast<const char*>(esc) - s.data() : n;
            PutRun(out, s, i, end);
            i = end;
        }
    }
    result.resize(out - result.data());
    return result;
}

std::string EucToSjisOf(std::string_view s) {
    const size_t n = s.size();
    std::string result(n, '\0');
    char* out = result.data();
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t i = 0;
    while (i < n) {
        const size_t end = SkipAscii(s, i);
        PutRun(out, s, i, end);
        i = end;
        // Four pairs at a time while all eight bytes are high and no pair is led by 0x8E or
        // 0x8F (katakana, three-byte characters).
        while (n - i >= 8 && AllHigh(p + i) && (p[i] & 0xFE) != 0x8E && (p[i + 2] & 0xFE) != 0x8E &&
               (p[i + 4] & 0xFE) != 0x8E && (p[i + 6] & 0xFE) != 0x8E) {
            PutCode(out, p[i], p[i + 1]);
            PutCode(out, p[i + 2], p[i + 3]);
            PutCode(out, p[i + 4], p[i + 5]);
            PutCode(out, p[i + 6], p[i + 7]);
            i += 8;
        }
        // A run of pairs, each led by a byte with bit 7 set.
        while (i + 1 < n && p[i] >= 0x80) {
            const unsigned char b = p[i];
            const unsigned char b2 = p[i + 1];
            if (b == 0x8E && b2 >= 0xA1 && b2 <= 0xDF) {
                // Half-width katakana: Shift-JIS has it as the single byte itself.
                *out++ = static_cast<char>(b2);
            } else if (b == 0x8F && b2 >= 0x80) {
                // A three-byte JIS X 0212 character has no Shift-JIS form. Taken as a pair it
                // would shift every following character of the run by one byte, so it
                // becomes the geta mark, the usual stand-in for an unconvertible character.
                if (n - i < 3) {
                    i = n; // cut off at the end: dropped
                    break;
                }
                if (p[i + 2] >= 0x80) {
                    *out++ = static_cast<char>(kGeta >> 8);
                    *out++ = static_cast<char>(kGeta & 0xFF);
                    i += 3;
                    continue;
                }
                PutCode(out, b, b2);
            } else {
                PutCode(out, b, b2);
            }
            i += 2;
        }
        if (i + 1 == n && p[i] >= 0x80) {
            break; // half a character at the end is dropped
        }
    }
    result.resize(out - result.data());
    return result;
}

int IsSjisTextOf(std::string_view s) {
    const size_t n = s.size();
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    unsigned seen = 0; // a lead byte with its trail was met
    unsigned bad = 0;  // a lead byte without a trail was met
    size_t i = 0;
    while ((i = SkipAscii(s, i)) < n) {
        // A run of bytes above 0x7F: a lead takes its trail (which may be below 0x80) with
        // it. Branch-free, since leads and single bytes alternate unpredictably.
        while (i + 1 < n && p[i] >= 0x80 && !bad) {
            const unsigned lead = kByteClasses.lead[p[i]];
            bad |= lead & (kByteClasses.trail[p[i + 1]] ^ 1u);
            seen |= lead;
            i += 1 + lead;
        }
        if (bad || (i + 1 == n && kByteClasses.lead[p[i]])) {
            return 0; // a lead byte is the last byte of the text
        }
        if (i + 1 == n) {
            break;
        }
    }
    return seen ? kSjisFlag : 0;
}

int IsEucTextOf(std::string_view s) {
    const size_t n = s.size();
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    int result = 0;
    size_t i = 0;
    while ((i = SkipAscii(s, i)) < n) {
        while (n - i >= 8 && AllHigh(p + i)) {
            i += 8; // four good pairs
        }
        for (; i < n && At(s, i) >= 0x80; i += 2) {
            if (i + 1 >= n || At(s, i + 1) < 0x80) {
                return 0;
            }
        }
        result = kEucFlag;
    }
    return result;
}

int IsJisTextOf(std::string_view s) {
    const size_t n = s.size();
    int result = 0;
    size_t i = 0;
    while (i < n) {
        const void* esc = std::memchr(s.data() + i, kEsc, n - i);
        if (esc == nullptr) {
            break;
        }
        i = static_cast<const char*>(esc) - s.data();
        if (n - i < 3) {
            return 0;
        }
        const unsigned char e1 = At(s, i + 1);
        const unsigned char e2 = At(s, i + 2);
        const bool known =
            (e1 == '$' && (e2 == 'B' || e2 == '@')) || (e1 == '(' && (e2 == 'J' || e2 == 'B'));
        if (!known) {
            return 0;
        }
        result = kJisFlag;
        i += 3;
    }
    return result;
}

} // namespace

bool IsSjisLead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsSjisTrail(uint8_t b) {
    return b >= 0x40 && b <= 0xFC;
}

uint16_t JisCodeToSjis(uint16_t code) {
    return SjisCode(code >> 8, code & 0xFF);
}

std::string JisToSjis(std::string_view text) {
    return JisToSjisOf(UpToNul(text));
}

std::string EucToSjis(std::string_view text) {
    return EucToSjisOf(UpToNul(text));
}

int IsSjisText(std::string_view text) {
    return IsSjisTextOf(UpToNul(text));
}

int IsEucText(std::string_view text) {
    return IsEucTextOf(UpToNul(text));
}

int IsJisText(std::string_view text) {
    return IsJisTextOf(UpToNul(text));
}

std::string AutoDetect(std::string_view text) {
    const std::string_view s = UpToNul(text);
    // The same decision as or-ing all three flags, with the tests ordered so that the first
    // decisive one ends it: the JIS flag wins whatever the others say; without it, only
    // flags of exactly 2 (EUC and not Shift-JIS) convert. The EUC test goes first since
    // Shift-JIS text usually fails it within a few bytes.
    if (IsJisTextOf(s) != 0) {
        return JisToSjisOf(s);
    }
    if (IsEucTextOf(s) != 0 && IsSjisTextOf(s) == 0) {
        return EucToSjisOf(s);
    }
    return std::string(s);
}
