#include "cli/CliOutput.h"

#include <cstdio>

namespace cli {

namespace {

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

} // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t length = Utf8Length(text, pos);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++pos;
            continue;
        }
        if (length > 1) {
            out.append(text.substr(pos, length));
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
