#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cli {

// A text as a JSON string literal, quotes included. Bytes that are not valid UTF-8 become
// U+FFFD, so the output always parses.
std::string JsonString(std::string_view text);

// A JSON array of strings.
std::string JsonStringArray(const std::vector<std::string>& items);

// CR LF and lone CR become LF: the window's line breaks as a terminal wants them.
std::string ToUnixLines(std::string_view text);

} // namespace cli
