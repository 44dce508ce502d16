#include "rdap/RdapText.h"

#include "platform/Utf8.h"

#include <algorithm>

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
    for (std::size_t i = 0; i < text.size();) {
        // Bidirectional controls too: they would reorder the line around them.
        const std::size_t control =
            std::max(platform::ControlLength(text, i), platform::BidiControlLength(text, i));
        out += control ? ' ' : text[i];
        i += control ? control : 1;
    }
    auto first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

} // namespace rdap
