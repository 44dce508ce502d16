#include "engine/LimitNotice.h"

#include <algorithm>
#include <cctype>

namespace {

// What registries send instead of an answer, in lower case, each found inside a short line
// (sources and the look-alikes that must stay answers: tests/data/whois/limits/README.md).
constexpr std::string_view kPhrases[] = {
    "access control limit",             // DENIC, APNIC
    "access denied",                    // RIPE and APNIC %ERROR:201
    "connection limit exceeded",        // CZ.NIC
    "connections exceeded",             // RIPE %ERROR:306
    "excessive querying, grace period", // DNS Belgium
    "ip address blocked",               // DNS Belgium -3
    "limit exceeded",                   // PIR, SIDN's daily limit
    "maximum queries per",              // DNS Belgium's hourly limit
    "queried interval is too short",    // CNNIC
    "queries exceeded",                 // "Number of allowed queries exceeded"
    "query rate exceeded",
    "quota exceeded", // "Lookup quota exceeded"
    "request denied", // .nz "440 Request Denied"
    "server too busy",
    "still in grace period", // EURid "-1: Still in grace period, wait N seconds"
    "too many connections",  // APNIC %ERROR:208
    "too many requests",     // AFNIC
    "try again later",
    "whois query quota", // Nominet "the WHOIS query quota ... has been exceeded"
};

// A line longer than this is prose (terms of use), never a notice.
constexpr size_t kMaxNoticeLine = 120;

bool IsMark(char c) {
    return c == '%' || c == '#' || c == '>' || c == ';' || c == '*' || c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string lower(s);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool IsNoticeLine(std::string_view line) {
    if (line.size() > kMaxNoticeLine)
        return false;
    const std::string lower = Lower(line);
    // registro.br says it answers, only with less: "Query rate limit exceeded. Reduced
    // information." above its real answer.
    if (lower.find("reduced information") != std::string::npos)
        return false;
    return std::any_of(std::begin(kPhrases), std::end(kPhrases), [&](std::string_view phrase) {
        return lower.find(phrase) != std::string::npos;
    });
}

} // namespace

std::string LimitNotice(std::string_view text, std::string* shown) {
    std::string_view rest = text;
    size_t paragraph = 0; // where the paragraph of the line begins
    while (!rest.empty()) {
        const size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
        std::string_view line = rest.substr(0, end);
        if (Trim(line).empty())
            paragraph = text.size() - rest.size() + end;
        while (!line.empty() && IsMark(line.front()))
            line.remove_prefix(1);
        line = Trim(line);
        if (!line.empty() && IsNoticeLine(line)) {
            if (shown)
                *shown = std::string(Trim(text.substr(paragraph)));
            return std::string(line);
        }
        // CR LF is one line break.
        rest.remove_prefix(std::min(rest.size(), end + (rest.compare(end, 2, "\r\n") ? 1 : 2)));
    }
    return {};
}
