#include "cli/CliOutput.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// The code point of one well-formed sequence of at most three bytes.
unsigned CodePoint(std::string_view sequence) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(sequence[k]); };
    switch (sequence.size()) {
    case 1:
        return byte(0);
    case 2:
        return (byte(0) & 0x1Fu) << 6 | (byte(1) & 0x3Fu);
    default:
        return (byte(0) & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
    }
}

} // namespace

std::string TerminalText(std::string_view text, bool keepLines) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t length = platform::Utf8SequenceLength(text, pos);
        const char c = text[pos];
        const bool kept = keepLines && (c == '\t' || c == '\n');
        const size_t control = length == 0 ? 0
                               : kept      ? 0
                                           : std::max(platform::ControlLength(text, pos),
                                                      platform::BidiControlLength(text, pos));
        if (length == 0 || control != 0)
            out += kReplacement;
        else
            out.append(text.substr(pos, length));
        pos += length == 0 ? 1 : length;
    }
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t length = platform::Utf8SequenceLength(text, pos);
        if (length == 0) {
            out += kReplacement;
            ++pos;
            continue;
        }
        const char c = text[pos];
        const char* named = c == '"'    ? "\\\""
                            : c == '\\' ? "\\\\"
                            : c == '\n' ? "\\n"
                            : c == '\r' ? "\\r"
                            : c == '\t' ? "\\t"
                                        : nullptr;
        if (named) {
            out += named;
        } else if (platform::ControlLength(text, pos) != 0 ||
                   platform::BidiControlLength(text, pos) != 0) {
            // Valid JSON either way; escaped, no terminal takes it as a command.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", CodePoint(text.substr(pos, length)));
            out += escaped;
        } else {
            out.append(text.substr(pos, length));
        }
        pos += length;
    }
    out += '"';
    return out;
}

std::string JsonStringArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t k = 0; k < items.size(); ++k) {
        if (k > 0)
            out += ',';
        out += JsonString(items[k]);
    }
    out += ']';
    return out;
}

std::string ToUnixLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '\r') {
            out += '\n';
            if (k + 1 < text.size() && text[k + 1] == '\n')
                ++k;
        } else {
            out += text[k];
        }
    }
    return out;
}

} // namespace cli
