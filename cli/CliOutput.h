#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cli {

// A text as a JSON string literal, quotes included. Bytes that are not valid UTF-8 become
// U+FFFD, so the output always parses; every control character, C1 ones too, is escaped.
std::string JsonString(std::string_view text);

// The text as it may reach a terminal: every control character but TAB and LF (C0, DEL and
// C1) and every byte that is not valid UTF-8 becomes U+FFFD, so an answer cannot move the
// cursor, recolour, retitle or clear the user's screen. Without keepLines TAB and LF go too,
// for a value quoted inside a one-line message.
std::string TerminalText(std::string_view text, bool keepLines = true);

// A JSON array of strings.
std::string JsonStringArray(const std::vector<std::string>& items);

// CR LF and lone CR become LF: the window's line breaks as a terminal wants them.
std::string ToUnixLines(std::string_view text);

} // namespace cli
