#include "kanjconv/KanjConv.h"

#include <cstring>

namespace {

constexpr unsigned char kEsc = 0x1B;

// The text ends at its first zero byte, as it did for the C strings the answers came in.
std::string_view UpToNul(std::string_view text) {
    const void* nul = std::memchr(text.data(), 0, text.size());
    if (nul == nullptr) {
        return text;
    }
    return text.substr(0, static_cast<const char*>(nul) - text.data());
}

inline unsigned char At(std::string_view s, size_t i) {
    return static_cast<unsigned char>(s[i]);
}

inline void PutCode(char*& out, unsigned char c1, unsigned char c2) {
    const uint16_t sjis = JisCodeToSjis(static_cast<uint16_t>((c1 << 8) | c2));
    *out++ = static_cast<char>(sjis >> 8);
    *out++ = static_cast<char>(sjis & 0xFF);
}

} // namespace

bool IsSjisLead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsSjisTrail(uint8_t b) {
    return b >= 0x40 && b <= 0xFC;
}

uint16_t JisCodeToSjis(uint16_t code) {
    const unsigned j1 = (code >> 8) & 0x7F;
    const unsigned j2 = code & 0x7F;
    unsigned s2 = (j1 & 1) ? j2 + 31 : j2 + 125;
    if (s2 > 126) {
        ++s2;
    }
    const unsigned s1 = (j1 < 95 ? j1 + 225 : j1 + 353) >> 1;
    return static_cast<uint16_t>(((s1 & 0xFF) << 8) | (s2 & 0xFF));
}

std::string JisToSjis(std::string_view text) {
    const std::string_view s = UpToNul(text);
    const size_t n = s.size();
    // Escapes vanish and pairs stay pairs, so the output never outgrows the input.
    std::string result(n, '\0');
    char* out = result.data();
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
            if (n - i < 2) {
                break; // half a character at the end is dropped
            }
            PutCode(out, b, At(s, i + 1));
            i += 2;
        } else {
            *out++ = static_cast<char>(b);
            ++i;
        }
    }
    result.resize(out - result.data());
    return result;
}

std::string EucToSjis(std::string_view text) {
    const std::string_view s = UpToNul(text);
    const size_t n = s.size();
    std::string result(n, '\0');
    char* out = result.data();
    size_t i = 0;
    while (i < n) {
        const unsigned char b = At(s, i);
        if (b < 0x80) {
            *out++ = static_cast<char>(b);
            ++i;
            continue;
        }
        if (n - i < 2) {
            break; // half a character at the end is dropped
        }
        const unsigned char b2 = At(s, i + 1);
        if (b == 0x8E && b2 >= 0xA1 && b2 <= 0xDF) {
            // Half-width katakana: Shift-JIS has it as the single byte itself.
            *out++ = static_cast<char>(b2);
        } else {
            PutCode(out, b, b2);
        }
        i += 2;
    }
    result.resize(out - result.data());
    return result;
}

int IsSjisText(std::string_view text) {
    const std::string_view s = UpToNul(text);
    const size_t n = s.size();
    int result = 0;
    size_t i = 0;
    while (i < n) {
        if (IsSjisLead(At(s, i))) {
            if (i + 1 >= n || !IsSjisTrail(At(s, i + 1))) {
                return 0;
            }
            result = kSjisFlag;
            i += 2;
        } else {
            ++i;
        }
    }
    return result;
}

int IsEucText(std::string_view text) {
    const std::string_view s = UpToNul(text);
    const size_t n = s.size();
    int result = 0;
    size_t i = 0;
    while (i < n) {
        if (At(s, i) >= 0x80) {
            if (i + 1 >= n || At(s, i + 1) < 0x80) {
                return 0;
            }
            result = kEucFlag;
            i += 2;
        } else {
            ++i;
        }
    }
    return result;
}

int IsJisText(std::string_view text) {
    const std::string_view s = UpToNul(text);
    const size_t n = s.size();
    int result = 0;
    size_t i = 0;
    while (i < n) {
        if (At(s, i) == kEsc) {
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
        } else {
            ++i;
        }
    }
    return result;
}

std::string AutoDetect(std::string_view text) {
    const int flags = IsSjisText(text) | IsEucText(text) | IsJisText(text);
    if (flags == kEucFlag) {
        return EucToSjis(text);
    }
    if (flags & kJisFlag) {
        return JisToSjis(text);
    }
    return std::string(UpToNul(text));
}
