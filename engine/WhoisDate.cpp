// Dates as registries write them, into ISO 8601.
#include "engine/WhoisRecord.h"

#include <array>
#include <cstdio>
#include <string>

namespace {

struct Token {
    enum Kind { Number, Word, Era } kind = Number;
    int value = 0;  // Number: the value; Word: month 1-12 or 0; Era: the era's year 0
    int digits = 0; // Number: how many digits
    size_t end = 0; // offset after the token
};

int MonthOf(std::string_view word) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (word.size() < 3)
        return 0;
    std::string low;
    for (char c : word.substr(0, 3))
        low += static_cast<char>(c | 0x20);
    for (int m = 0; m < 12; ++m) {
        if (low == kMonths[m])
            return m + 1;
    }
    return 0;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Japanese eras: the Gregorian year before the era's first.
constexpr std::array<std::pair<std::string_view, int>, 4> kEras{
    {{"令和", 2018}, {"平成", 1988}, {"昭和", 1925}, {"大正", 1911}}};

// Numbers, words and eras of the text's first 64 bytes, the Japanese 年月日 read as
// separators; "元" (an era's first year) reads as 1.
// A dozen tokens at most, kept on the stack: a reader parses a date on many lines.
struct TokenList {
    std::array<Token, 12> items{};
    size_t count = 0;
    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    const Token& operator[](size_t k) const { return items[k]; }
    Token& back() { return items[count - 1]; }
    void push_back(const Token& t) { items[count++] = t; }
};

TokenList Tokens(std::string_view text) {
    TokenList out;
    size_t i = 0;
    const size_t n = std::min<size_t>(text.size(), 64);
    while (i < n && out.size() < 12) {
        const char c = text[i];
        if (IsDigit(c)) {
            Token t{Token::Number};
            while (i < n && IsDigit(text[i]) && t.digits < 9) {
                t.value = t.value * 10 + (text[i] - '0');
                ++t.digits;
                ++i;
            }
            while (i < n && IsDigit(text[i]))
                ++i;
            t.end = i;
            out.push_back(t);
        } else if (IsAlpha(c)) {
            size_t j = i;
            while (j < n && IsAlpha(text[j]))
                ++j;
            const std::string_view word = text.substr(i, j - i);
            // "30th", "1st": the suffix belongs to the number before it.
            const bool ordinal = !out.empty() && out.back().kind == Token::Number &&
                                 out.back().end == i && word.size() == 2 &&
                                 (word == "st" || word == "nd" || word == "rd" || word == "th");
            if (!ordinal)
                out.push_back({Token::Word, MonthOf(word), 0, j});
            i = j;
        } else if (text.substr(i).starts_with("元")) {
            i += std::string_view("元").size();
            out.push_back({Token::Number, 1, 1, i});
        } else {
            bool era = false;
            for (const auto& [name, base] : kEras) {
                if (text.substr(i).starts_with(name)) {
                    i += name.size();
                    out.push_back({Token::Era, base, 0, i});
                    era = true;
                    break;
                }
            }
            if (!era)
                ++i;
        }
    }
    return out;
}

bool ValidDate(int y, int m, int d) {
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1970 || y > 2200 || m < 1 || m > 12 || d < 1 || d > kDays[m - 1])
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m != 2 || d <= 28 || leap;
}

// Days since 1970-01-01 and back (Howard Hinnant's civil-date algorithms).
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// The zone after a time: "Z", "UTC", "GMT", "+09:00", "+0900", "(JST)". Sets minutes east
// of UTC; false when the text names none, so the time is local to an unknown place.
bool ZoneOffset(std::string_view rest, int& minutes) {
    size_t i = 0;
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '(' || rest[i] == '\t'))
        ++i;
    rest = rest.substr(i);
    auto word = [&](std::string_view w) {
        if (rest.size() < w.size())
            return false;
        for (size_t k = 0; k < w.size(); ++k) {
            if ((rest[k] | 0x20) != (w[k] | 0x20))
                return false;
        }
        return rest.size() == w.size() || !IsAlpha(rest[w.size()]);
    };
    if (word("z") || word("utc") || word("gmt")) {
        minutes = 0;
        const size_t skip = word("z") ? 1 : 3;
        if (rest.size() > skip && (rest[skip] == '+' || rest[skip] == '-'))
            return ZoneOffset(rest.substr(skip), minutes);
        return true;
    }
    if (word("jst")) {
        minutes = 9 * 60;
        return true;
    }
    if (rest.size() >= 2 && (rest[0] == '+' || rest[0] == '-') && IsDigit(rest[1])) {
        // "+09:00", "+0900", and Taiwan's "(UTC+8)".
        const bool two = rest.size() >= 3 && IsDigit(rest[2]);
        int h = two ? (rest[1] - '0') * 10 + (rest[2] - '0') : rest[1] - '0';
        size_t k = two ? 3 : 2;
        if (k < rest.size() && rest[k] == ':')
            ++k;
        int mm = 0;
        if (k + 1 < rest.size() && IsDigit(rest[k]) && IsDigit(rest[k + 1]))
            mm = (rest[k] - '0') * 10 + (rest[k + 1] - '0');
        if (h > 14 || mm > 59)
            return false;
        minutes = (rest[0] == '-' ? -1 : 1) * (h * 60 + mm);
        return true;
    }
    return false;
}

// The time after the date (at text offset `from`): "05:00:00", "T05:00:00.123Z", "at 05:00".
// Writes "THH:MM:SSZ" and moves the date when the zone moves it across midnight; nothing when
// there is no time or no zone.
std::string UtcTime(std::string_view text, size_t from, int& y, int& m, int& d) {
    size_t i = from;
    while (i < text.size() && (text[i] == ' ' || text[i] == 'T' || text[i] == '\t' ||
                               text[i] == ',' || text[i] == 'a' || text[i] == 't'))
        ++i;
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (count < 3 && i + 1 < text.size() && IsDigit(text[i]) && IsDigit(text[i + 1])) {
        parts[count++] = (text[i] - '0') * 10 + (text[i + 1] - '0');
        i += 2;
        if (i < text.size() && text[i] == ':' && count < 3)
            ++i;
        else
            break;
    }
    if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 60)
        return {};
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
    }
    int offset = 0;
    if (!ZoneOffset(text.substr(i), offset))
        return {};
    long minutes = DaysFromCivil(y, m, d) * 1440L + parts[0] * 60 + parts[1] - offset;
    long days = minutes >= 0 ? minutes / 1440 : (minutes - 1439) / 1440;
    minutes -= days * 1440;
    CivilFromDays(days, y, m, d);
    const int hh = static_cast<int>(minutes / 60) % 24, mi = static_cast<int>(minutes % 60);
    char buf[40];
    std::snprintf(buf, sizeof buf, "T%02d:%02d:%02dZ", hh, mi, std::min(parts[2], 59) % 60);
    return buf;
}

} // namespace

std::string ParseWhoisDate(std::string_view text, DayMonthOrder order, bool* ambiguous) {
    if (ambiguous)
        *ambiguous = false;
    const TokenList t = Tokens(text);
    int y = 0, m = 0, d = 0;
    size_t end = 0;
    auto num = [&](size_t k) { return k < t.size() && t[k].kind == Token::Number; };
    auto month = [&](size_t k) { return k < t.size() && t[k].kind == Token::Word && t[k].value; };
    // A weekday or other word before the date ("Wed Mar 21 2001", "Fri, 6 Dec 2024").
    size_t s = 0;
    while (s < t.size() && t[s].kind == Token::Word && !t[s].value && s < 2)
        ++s;
    if (s < t.size() && t[s].kind == Token::Era && num(s + 1) && num(s + 2) && num(s + 3)) {
        y = t[s].value + t[s + 1].value, m = t[s + 2].value, d = t[s + 3].value;
        end = t[s + 3].end;
    } else if (num(s) && t[s].digits == 8) {
        y = t[s].value / 10000, m = t[s].value / 100 % 100, d = t[s].value % 100;
        end = t[s].end;
    } else if (num(s) && t[s].digits == 4 && num(s + 1) && num(s + 2)) {
        y = t[s].value, m = t[s + 1].value, d = t[s + 2].value;
        end = t[s + 2].end;
    } else if (num(s) && t[s].digits == 4 && month(s + 1) && num(s + 2)) {
        y = t[s].value, m = t[s + 1].value, d = t[s + 2].value; // 2001-Mar-21
        end = t[s + 2].end;
    } else if (num(s) && month(s + 1) && num(s + 2) && t[s + 2].digits == 4) {
        d = t[s].value, m = t[s + 1].value, y = t[s + 2].value; // 21-Mar-2001, 30th April 2003
        end = t[s + 2].end;
    } else if (month(s) && num(s + 1) && num(s + 2) && t[s + 2].digits == 4) {
        m = t[s].value, d = t[s + 1].value, y = t[s + 2].value; // Mar 21 2001, March 21, 2001
        end = t[s + 2].end;
    } else if (month(s) && num(s + 1) && num(s + 2) && t[s + 2].digits == 2 && num(s + 3)) {
        // Wed Mar 21 05:00:00 GMT 2001: the year after the time and zone.
        m = t[s].value, d = t[s + 1].value;
        for (size_t k = s + 2; k < t.size(); ++k) {
            if (num(k) && t[k].digits == 4) {
                y = t[k].value;
                break;
            }
        }
        if (!ValidDate(y, m, d))
            return {};
        char buf[40];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
        std::string out = buf;
        // The time is read from where it stands; the zone word follows it.
        int yy = y, mm = m, dd = d;
        std::string time = UtcTime(text, t[s + 1].end, yy, mm, dd);
        if (time.empty())
            return out;
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", yy, mm, dd);
        return buf + time;
    } else if (num(s) && num(s + 1) && num(s + 2) && t[s + 2].digits == 4 && t[s].digits <= 2 &&
               t[s + 1].digits <= 2) {
        const int a = t[s].value, b = t[s + 1].value;
        end = t[s + 2].end;
        y = t[s + 2].value;
        if (a > 12 && b <= 12)
            d = a, m = b;
        else if (b > 12 && a <= 12)
            m = a, d = b;
        else if (a == b)
            d = m = a;
        else if (order == DayMonthOrder::DayFirst)
            d = a, m = b;
        else if (order == DayMonthOrder::MonthFirst)
            m = a, d = b;
        else {
            if (ambiguous && ValidDate(y, a, b) && ValidDate(y, b, a))
                *ambiguous = true;
            return {};
        }
    } else {
        return {};
    }
    if (!ValidDate(y, m, d))
        return {};
    std::string time = UtcTime(text, end, y, m, d);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf + time;
}

DayMonthOrder RegistryDateOrder(std::string_view query) {
    // Registries writing both numbers of a date in two digits or fewer, by their order.
    // Only registries whose answers show their order; the others' ambiguous dates stay out.
    static constexpr std::string_view kDayFirst[] = {"hk", "fi", "rs", "срб", "uk"};
    // Freenom's five registries share one server and its order.
    static constexpr std::string_view kMonthFirst[] = {"tk", "ml", "ga", "cf", "gq"};
    std::string_view tld = query;
    while (!tld.empty() && tld.back() == '.')
        tld.remove_suffix(1);
    // A top-level label alone is answered by IANA, which writes years first.
    const size_t dot = tld.rfind('.');
    if (dot == std::string_view::npos)
        return DayMonthOrder::Unknown;
    tld = tld.substr(dot + 1);
    std::string low;
    for (char c : tld)
        low += static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c);
    for (std::string_view t : kDayFirst) {
        if (low == t)
            return DayMonthOrder::DayFirst;
    }
    for (std::string_view t : kMonthFirst) {
        if (low == t)
            return DayMonthOrder::MonthFirst;
    }
    return DayMonthOrder::Unknown;
}
