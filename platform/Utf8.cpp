#include "platform/Utf8.h"

namespace platform {

namespace {

unsigned char At(std::string_view text, std::size_t pos) {
    return static_cast<unsigned char>(text[pos]);
}

} // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
    const unsigned char lead = At(text, pos);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - pos < length)
        return 0;
    if (At(text, pos + 1) < low || At(text, pos + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (At(text, pos + k) < 0x80 || At(text, pos + k) > 0xBF)
            return 0;
    return length;
}

std::size_t ControlLength(std::string_view text, std::size_t pos) {
    const unsigned char c = At(text, pos);
    if (c < 0x20 || c == 0x7F)
        return 1;
    // U+0080 to U+009F: C2 80 to C2 9F.
    if (c == 0xC2 && pos + 1 < text.size() && At(text, pos + 1) >= 0x80 &&
        At(text, pos + 1) <= 0x9F)
        return 2;
    return 0;
}

std::size_t BidiControlLength(std::string_view text, std::size_t pos) {
    // All of them are E2 80 xx or E2 81 xx.
    if (At(text, pos) != 0xE2 || text.size() - pos < 3)
        return 0;
    const unsigned char second = At(text, pos + 1), third = At(text, pos + 2);
    const bool marks = second == 0x80 && (third == 0x8E || third == 0x8F);  // 200E 200F
    const bool embeds = second == 0x80 && third >= 0xAA && third <= 0xAE;   // 202A-202E
    const bool isolates = second == 0x81 && third >= 0xA6 && third <= 0xA9; // 2066-2069
    return marks || embeds || isolates ? 3 : 0;
}

} // namespace platform
