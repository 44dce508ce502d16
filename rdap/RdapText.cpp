#include "rdap/RdapText.h"

namespace rdap {

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    return text.size() >= lowerPrefix.size() &&
           AsciiLower(text.substr(0, lowerPrefix.size())) == lowerPrefix;
}

std::string OneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto u = static_cast<unsigned char>(text[i]);
        auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (u == 0xC2 && next >= 0x80 && next <= 0x9F) { // C1 controls: U+0080..U+009F
            out += ' ';
            ++i;
        } else {
            out += (u < 0x20 || u == 0x7f) ? ' ' : text[i];
        }
    }
    auto first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

} // namespace rdap
