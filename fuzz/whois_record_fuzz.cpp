// The field reader: WHOIS answers and RDAP JSON into the registration record, and dates.
//
// Input: the query, the byte 0x1E, then the answer (read both as WHOIS text and as RDAP JSON).
// Without 0x1E the whole input is the answer to "example.test".
#include "engine/WhoisRecord.h"
#include "fuzz/FuzzCommon.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool Digits(std::string_view s, size_t from, size_t count) {
    return std::all_of(s.begin() + from, s.begin() + from + count,
                       [](char c) { return c >= '0' && c <= '9'; });
}

// "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM:SSZ", nothing else.
bool IsoDate(std::string_view d) {
    if (d.empty())
        return true;
    if (d.size() != 10 && d.size() != 20)
        return false;
    if (!Digits(d, 0, 4) || d[4] != '-' || !Digits(d, 5, 2) || d[7] != '-' || !Digits(d, 8, 2))
        return false;
    return d.size() == 10 || (d[10] == 'T' && Digits(d, 11, 2) && d[13] == ':' &&
                              Digits(d, 14, 2) && d[16] == ':' && Digits(d, 17, 2) && d[19] == 'Z');
}

void CheckRecord(const Registration& r) {
    FUZZ_CHECK(IsoDate(r.created));
    FUZZ_CHECK(IsoDate(r.updated));
    FUZZ_CHECK(IsoDate(r.expires));
    for (const std::string& ns : r.nameservers) {
        FUZZ_CHECK(!ns.empty() && ns.back() != '.');
        FUZZ_CHECK(ns.find_first_of(" \t\r\nABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos);
    }
    FUZZ_CHECK(r.status.size() <= 64 && r.nameservers.size() <= 64);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string query = "example.test";
    std::string_view answer = input;
    if (const size_t sep = input.find('\x1e'); sep != std::string_view::npos && sep < 256) {
        query = std::string(input.substr(0, sep));
        answer = input.substr(sep + 1);
    }
    const Registration whois = ReadWhoisRecord(answer, query);
    CheckRecord(whois);
    // A WHOIS name server list never holds one host twice.
    for (const std::string& ns : whois.nameservers)
        FUZZ_CHECK(std::count(whois.nameservers.begin(), whois.nameservers.end(), ns) == 1);
    const Registration rdap = ReadRdapRecord(answer);
    CheckRecord(rdap);

    // The registry's dates win; a field only the registrar states comes from it.
    const Registration merged = MergeRecords(whois, rdap);
    CheckRecord(merged);
    FUZZ_CHECK(merged.created == (whois.created.empty() ? rdap.created : whois.created));
    FUZZ_CHECK(merged.registrar.name ==
               (whois.registrar.name.empty() ? rdap.registrar.name : whois.registrar.name));

    // Dates: well formed in every order; where the text decides, the order does not matter,
    // and an ambiguous date is never given.
    const std::string_view head = answer.substr(0, 80);
    bool ambiguous = false;
    const std::string unknown = ParseWhoisDate(head, DayMonthOrder::Unknown, &ambiguous);
    const std::string dayFirst = ParseWhoisDate(head, DayMonthOrder::DayFirst);
    const std::string monthFirst = ParseWhoisDate(head, DayMonthOrder::MonthFirst);
    FUZZ_CHECK(IsoDate(unknown) && IsoDate(dayFirst) && IsoDate(monthFirst));
    if (!unknown.empty())
        FUZZ_CHECK(unknown == dayFirst && unknown == monthFirst);
    if (ambiguous)
        FUZZ_CHECK(unknown.empty() && !dayFirst.empty() && !monthFirst.empty());
    return 0;
}
