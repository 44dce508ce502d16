#include "settings/IniParam.h"

#include <cstdint>

namespace settings {

namespace {

// Codes 1 to 32. Scanning by bytes never splits a character: text is UTF-8 here, and no
// byte of a multi-byte UTF-8 character is below 0x80.
bool IsBlank(char ch) {
    auto c = static_cast<unsigned char>(ch);
    return c >= 1 && c <= 32;
}

bool NeedsQuotes(const std::string& item) {
    for (char ch : item) {
        if (static_cast<unsigned char>(ch) <= 32 || ch == '"' || ch == ',')
            return true;
    }
    return false;
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

} // namespace

std::string CommaText(const std::vector<std::string>& items) {
    if (items.size() == 1 && items[0].empty())
        return "\"\"";
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += ',';
        const std::string& item = items[i];
        // A bare empty item at the end would read back as a trailing comma, which adds none.
        const bool emptyLast = item.empty() && i + 1 == items.size();
        if (!NeedsQuotes(item) && !emptyLast) {
            out += item;
            continue;
        }
        out += '"';
        for (char ch : item) {
            if (ch == '"')
                out += '"';
            out += ch;
        }
        out += '"';
    }
    return out;
}

std::vector<std::string> SplitCommaText(std::string_view text) {
    // A zero byte ends the text, as it would end a C string.
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> items;
    size_t p = 0;
    const size_t n = text.size();
    while (p < n && IsBlank(text[p]))
        ++p;
    while (p < n) {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p; // the closing quote
                    break;
                }
                item += text[p++];
            }
        } else {
            size_t start = p;
            while (p < n && !IsBlank(text[p]) && text[p] != ',')
                ++p;
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));
        while (p < n && IsBlank(text[p]))
            ++p;
        if (p < n && text[p] == ',') {
            ++p;
            while (p < n && IsBlank(text[p]))
                ++p;
        }
    }
    return items;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
    size_t p = 0;
    const size_t n = text.size();
    while (p < n && IsBlank(text[p]))
        ++p;
    bool negative = false;
    if (p < n && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    if (p < n && text[p] == '$') {
        ++p;
        if (p == n)
            return false;
        std::uint64_t acc = 0;
        for (; p < n; ++p) {
            int d = HexDigit(text[p]);
            if (d < 0)
                return false;
            acc = acc * 16 + static_cast<unsigned>(d);
            if (acc > 0xFFFFFFFFull)
                return false;
        }
        // The digits are the 32-bit pattern: "$FFFFFFFF" is -1.
        auto bits = static_cast<std::uint32_t>(acc);
        if (negative)
            bits = 0u - bits;
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    if (p == n)
        return false;
    const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    std::uint64_t acc = 0;
    for (; p < n; ++p) {
        char ch = text[p];
        if (ch < '0' || ch > '9')
            return false;
        acc = acc * 10 + static_cast<unsigned>(ch - '0');
        if (acc > limit)
            return false;
    }
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(acc))
                     : static_cast<std::int32_t>(acc);
    return true;
}

std::int32_t StrToInt(std::string_view text) {
    std::int32_t value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError(std::string(text));
    return value;
}

} // namespace settings
