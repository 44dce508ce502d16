#include "tests/cli/JsonLite.h"

#include <cstdlib>

namespace clitest {

namespace {

class Reader {
public:
    explicit Reader(const std::string& text) : s_(text) {}

    std::optional<Json> Document() {
        Json value;
        if (!Value(value))
            return std::nullopt;
        Blanks();
        if (p_ != s_.size())
            return std::nullopt;
        return value;
    }

private:
    void Blanks() {
        while (p_ < s_.size() &&
               (s_[p_] == ' ' || s_[p_] == '\t' || s_[p_] == '\n' || s_[p_] == '\r'))
            ++p_;
    }
    bool Take(char c) {
        Blanks();
        if (p_ < s_.size() && s_[p_] == c) {
            ++p_;
            return true;
        }
        return false;
    }
    bool Word(const char* word) {
        const std::string w(word);
        if (s_.compare(p_, w.size(), w) != 0)
            return false;
        p_ += w.size();
        return true;
    }
    static void PutUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    bool Hex4(unsigned& code) {
        if (p_ + 4 > s_.size())
            return false;
        code = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = s_[p_++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= c - '0';
            else if (c >= 'a' && c <= 'f')
                code |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                code |= c - 'A' + 10;
            else
                return false;
        }
        return true;
    }
    bool String(std::string& out) {
        if (!Take('"'))
            return false;
        while (p_ < s_.size()) {
            const char c = s_[p_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false; // raw control characters are not allowed in JSON strings
            if (c != '\\') {
                out += c;
                continue;
            }
            if (p_ >= s_.size())
                return false;
            const char e = s_[p_++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned code = 0;
                if (!Hex4(code))
                    return false;
                if (code >= 0xD800 && code < 0xDC00) {
                    unsigned low = 0;
                    if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF)
                        return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                PutUtf8(out, code);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }
    bool Value(Json& value) {
        Blanks();
        if (p_ >= s_.size())
            return false;
        const char c = s_[p_];
        if (c == '{') {
            ++p_;
            value.kind = Json::Object;
            if (Take('}'))
                return true;
            do {
                std::string key;
                Json member;
                if (!String(key) || !Take(':') || !Value(member))
                    return false;
                value.members[key] = std::move(member);
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            ++p_;
            value.kind = Json::Array;
            if (Take(']'))
                return true;
            do {
                Json item;
                if (!Value(item))
                    return false;
                value.items.push_back(std::move(item));
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            value.kind = Json::String;
            return String(value.text);
        }
        if (Word("true") || Word("false")) {
            value.kind = Json::Bool;
            value.boolean = s_[p_ - 1] == 'e' && s_[p_ - 2] == 'u';
            return true;
        }
        if (Word("null"))
            return true;
        const char* start = s_.c_str() + p_;
        char* end = nullptr;
        value.number = std::strtod(start, &end);
        if (end == start)
            return false;
        value.kind = Json::Number;
        p_ += static_cast<size_t>(end - start);
        return true;
    }

    const std::string& s_;
    size_t p_ = 0;
};

} // namespace

const Json& Json::operator[](const std::string& key) const {
    static const Json none;
    auto it = members.find(key);
    return it == members.end() ? none : it->second;
}

std::vector<std::string> Json::Strings() const {
    std::vector<std::string> out;
    for (const auto& item : items)
        out.push_back(item.text);
    return out;
}

std::optional<Json> ParseJson(const std::string& text) {
    return Reader(text).Document();
}

} // namespace clitest
