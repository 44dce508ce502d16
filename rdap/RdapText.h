#pragma once

#include <string>
#include <string_view>

namespace rdap {

// ASCII case folding: URLs, roles and JSON member values of RDAP are ASCII where it matters.
std::string AsciiLower(std::string_view text);
bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix);
// One line of outside text made safe for a terminal: control characters (bidirectional ones
// too) become spaces, and the ends are trimmed.
std::string OneLine(std::string_view text);

} // namespace rdap
