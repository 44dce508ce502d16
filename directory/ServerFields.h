#pragma once

#include <string>
#include <string_view>

namespace directory {

// Walks the fields of one Server.wis line in order, calling fn(std::string_view) for each,
// without allocating for unquoted fields. `scratch` holds an unescaped quoted field; a view
// passed to fn is valid only during that call. fn returns false to stop the walk early.
template <typename Fn> void ForEachServerField(std::string_view line, std::string& scratch, Fn fn);

namespace detail {

// Blanks are every character from code 1 to the space. Bytes of UTF-8 or Shift-JIS text are
// above 0x7F and never blanks. Bit 0 of the table marks a blank, bit 1 a blank or a comma
// (the end of an unquoted field).
struct CharClasses {
    unsigned char bits[256];
};

constexpr CharClasses MakeCharClasses() {
    CharClasses t{};
    for (unsigned c = 1; c <= ' '; ++c) {
        t.bits[c] = 3;
    }
    t.bits[static_cast<unsigned char>(',')] = 2;
    return t;
}

inline constexpr CharClasses kCharClasses = MakeCharClasses();

inline bool IsBlank(unsigned char c) {
    return kCharClasses.bits[c] & 1;
}
inline bool EndsUnquoted(unsigned char c) {
    return kCharClasses.bits[c] & 2;
}

} // namespace detail

template <typename Fn> void ForEachServerField(std::string_view line, std::string& scratch, Fn fn) {
    // Like a C string, the line ends at a zero byte.
    const size_t nul = line.find('\0');
    if (nul != std::string_view::npos) {
        line = line.substr(0, nul);
    }
    const size_t n = line.size();
    auto blank = [&](size_t i) { return detail::IsBlank(static_cast<unsigned char>(line[i])); };
    size_t i = 0;
    while (i < n && blank(i)) {
        ++i;
    }
    while (i < n) {
        std::string_view field;
        if (line[i] == '"') {
            // Runs to the closing quote; a doubled quote stands for one. Without a closing
            // quote the field takes the rest of the line.
            scratch.clear();
            ++i;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        scratch.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                scratch.push_back(line[i]);
                ++i;
            }
            field = scratch;
        } else {
            const size_t start = i;
            while (i < n && !detail::EndsUnquoted(static_cast<unsigned char>(line[i]))) {
                ++i;
            }
            field = line.substr(start, i - start);
        }
        if (!fn(field)) {
            return;
        }
        while (i < n && blank(i)) {
            ++i;
        }
        if (i < n && line[i] == ',') {
            do {
                ++i;
            } while (i < n && blank(i));
        }
    }
}

} // namespace directory
