#include "engine/WhoisIdna.h"

#include <idn2.h>

#include <algorithm>
#include <cstdlib>

namespace {

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// Letters, digits, hyphen, underscore and dots: what an IDNA form may hold. A mapping to
// anything else (a no-break space becomes a blank) would change what the server is asked.
bool IsNameText(std::string_view text) {
    for (char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (!ok)
            return false;
    }
    return !text.empty();
}

// The IDNA form of one name, or the name itself when libidn2 refuses it.
std::string ToAscii(std::string_view name) {
    const std::string input(name);
    // UTS #46 non-transitional mapping first (it lower-cases, and keeps ß as IDNA2008 does);
    // the transitional one takes names that only it can map. libidn2's STD3 option drops
    // characters silently, so the result is checked instead.
    for (int flags : {IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL, IDN2_NFC_INPUT | IDN2_TRANSITIONAL}) {
        char* output = nullptr;
        const int rc = idn2_to_ascii_8z(input.c_str(), &output, flags);
        const std::string ascii = (rc == IDN2_OK && output) ? output : "";
        idn2_free(output);
        if (IsNameText(ascii))
            return ascii;
    }
    return input;
}

std::string WireWord(std::string_view word) {
    if (IsAscii(word))
        return std::string(word);
    const size_t slash = word.find('/');
    const std::string_view name = word.substr(0, slash);
    std::string out = IsAscii(name) ? std::string(name) : ToAscii(name);
    if (slash != std::string_view::npos)
        out += word.substr(slash);
    return out;
}

} // namespace

std::string WhoisWireQuery(std::string_view query) {
    if (IsAscii(query))
        return std::string(query);
    size_t first = 0, end = query.size();
    while (first < end && IsBlank(query[first]))
        ++first;
    while (end > first && IsBlank(query[end - 1]))
        --end;
    const std::string_view core = query.substr(first, end - first);
    // Words with blanks between them are no name (a server's flags, a person's name): they go
    // out as typed.
    if (std::any_of(core.begin(), core.end(), IsBlank))
        return std::string(query);
    return std::string(query.substr(0, first)) + WireWord(core) + std::string(query.substr(end));
}
