#include "cli/CliOutput.h"

#include <cstdio>

namespace cli {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Length of the valid UTF-8 sequence at text[pos], or 0 when it is not one.
size_t Utf8Length(std::string_view text, size_t pos) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(pos);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    if (byte(pos + 1) < low || byte(pos + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(pos + k) < 0x80 || byte(pos + k) > 0xBF)
            return 0;
    }
    return length;
}

// U+0080 to U+009F: C2 80 to C2 9F. Terminals read some of them as ESC sequences.
bool IsC1Control(std::string_view text, size_t pos) {
    return static_cast<unsigned char>(text[pos]) == 0xC2 && pos + 1 < text.size() &&
           (static_cast<unsigned char>(text[pos + 1]) & 0xE0) == 0x80;
}

} // namespace

std::string TerminalText(std::string_view text, bool keepLines) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t length = Utf8Length(text, pos);
        const auto c = static_cast<unsigned char>(text[pos]);
        const bool kept = keepLines && (c == '\t' || c == '\n');
        const bool control = length == 1 && (c < 0x20 || c == 0x7F) && !kept;
        const size_t step = length == 0 ? 1 : length;
        if (length == 0 || control || IsC1Control(text, pos))
            out += kReplacement;
        else
            out.append(text.substr(pos, step));
        pos += step;
    }
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t length = Utf8Length(text, pos);
        if (length == 0) {
            out += kReplacement;
            ++pos;
            continue;
        }
        if (length > 1 && !IsC1Control(text, pos)) {
            out.append(text.substr(pos, length));
            pos += length;
            continue;
        }
        if (length > 1) {
            // Valid JSON either way; escaped, no terminal takes it as a command.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u00%02x",
                          static_cast<unsigned char>(text[pos + 1]));
            out += escaped;
            pos += length;
            continue;
        }
        const char c = text[pos++];
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
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
