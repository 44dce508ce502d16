// The hop owners' request, answer and fallback readers.
#include "engine/HopOwners.h"

#include "engine/WhoisRecord.h"

#include <array>
#include <charconv>
#include <cstring>

#include <arpa/inet.h>

namespace hopowner {

namespace {

// The address in this program's own text form; empty when the text is no address.
std::string Canonical(const std::string& text) {
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return text;
    in6_addr v6{};
    char out[INET6_ADDRSTRLEN];
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1 &&
        inet_ntop(AF_INET6, &v6, out, sizeof out) != nullptr)
        return out;
    return {};
}

bool PrivateV4(const uint8_t* a) {
    return a[0] == 10 || a[0] == 127 || a[0] == 0 || (a[0] == 172 && (a[1] & 0xF0) == 16) ||
           (a[0] == 192 && a[1] == 168) || (a[0] == 169 && a[1] == 254) ||
           (a[0] == 100 && (a[1] & 0xC0) == 64);
}

// A field as one line of printable text: the service's bytes go to a terminal.
std::string Field(std::string_view text) {
    std::string out;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            out += c;
    const size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Split(std::string_view line) {
    std::vector<std::string> fields;
    size_t from = 0;
    for (;;) {
        const size_t bar = line.find('|', from);
        // The AS name is the last field and may itself hold a bar.
        if (bar == std::string_view::npos || fields.size() == 6) {
            fields.push_back(Field(line.substr(from)));
            return fields;
        }
        fields.push_back(Field(line.substr(from, bar - from)));
        from = bar + 1;
    }
}

// "64500" or "AS64500" as a number; 0 for "NA" and anything else.
uint32_t AsNumber(std::string_view text) {
    if (text.size() > 2 && (text[0] == 'A' || text[0] == 'a') && (text[1] == 'S' || text[1] == 's'))
        text.remove_prefix(2);
    uint32_t as = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), as);
    return error == std::errc{} && end == text.data() + text.size() ? as : 0;
}

std::string Na(std::string text) {
    return text == "NA" ? std::string() : text;
}

} // namespace

bool IsPrivateAddress(const std::string& address) {
    std::array<uint8_t, 16> a{};
    if (inet_pton(AF_INET, address.c_str(), a.data()) == 1)
        return PrivateV4(a.data());
    if (inet_pton(AF_INET6, address.c_str(), a.data()) != 1)
        return false;
    static constexpr uint8_t mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(a.data(), mapped, 12) == 0)
        return PrivateV4(a.data() + 12);
    const bool zeroHead = std::all_of(a.begin(), a.begin() + 15, [](uint8_t b) { return b == 0; });
    return (zeroHead && a[15] <= 1) || (a[0] & 0xFE) == 0xFC ||
           (a[0] == 0xFE && (a[1] & 0xC0) == 0x80);
}

std::string BulkRequest(const std::vector<std::string>& addresses) {
    std::string request = "begin\nverbose\n";
    for (const std::string& address : addresses)
        if (std::string text = Canonical(address); !text.empty())
            request += text + "\n";
    return request + "end\n";
}

std::map<std::string, Owner> ParseBulkAnswer(std::string_view answer) {
    std::map<std::string, Owner> owners;
    while (!answer.empty()) {
        const size_t end = answer.find('\n');
        std::string_view line = answer.substr(0, end);
        answer.remove_prefix(end == std::string_view::npos ? answer.size() : end + 1);
        const std::vector<std::string> f = Split(line);
        if (f.size() != 3 && f.size() != 7)
            continue;
        const uint32_t as = AsNumber(f[0]);
        const std::string address = Canonical(f[1]);
        if ((as == 0 && f[0] != "NA") || address.empty())
            continue; // a header, a notice or an error line
        Owner o;
        o.as = as;
        o.name = Na(f.back());
        if (f.size() == 7) {
            o.prefix = Na(f[2]);
            o.country = Na(f[3]);
            o.registry = Na(f[4]);
        }
        owners.emplace(address, std::move(o));
    }
    return owners;
}

Owner OwnerFromRdap(std::string_view record, bool& found) {
    const NetworkInfo n = ReadRdapRecord(record).network;
    Owner o;
    // The first origin AS and the first CIDR: a hop has one owner.
    o.as = AsNumber(n.originAs.substr(0, n.originAs.find(',')));
    o.name = !n.name.empty() ? n.name : n.organization;
    o.prefix = n.cidr.substr(0, n.cidr.find(','));
    if (o.prefix.empty())
        o.prefix = n.range;
    o.country = n.country;
    o.registry = n.registry;
    found = !o.name.empty() || !o.prefix.empty();
    return o;
}

std::string OwnerText(const Lookup& lookup) {
    switch (lookup.status) {
    case Lookup::Status::Private:
        return "private";
    case Lookup::Status::Found:
    case Lookup::Status::FoundByRdap: {
        const Owner& o = lookup.owner;
        if (o.as == 0)
            return o.name;
        return "AS" + std::to_string(o.as) + (o.name.empty() ? "" : " " + o.name);
    }
    case Lookup::Status::Unknown:
    case Lookup::Status::Failed:
        break;
    }
    return {};
}

} // namespace hopowner

TOwnerQuery::TOwnerQuery(const std::vector<std::string>& addresses, const TagHostEnt& server)
    : TQueryClient("", server, 43, "", 5) {
    FWire = hopowner::BulkRequest(addresses);
}

int32_t TOwnerQuery::CheckWire() const {
    // Built here from addresses only: its line breaks are the bulk form's own.
    return 0;
}
