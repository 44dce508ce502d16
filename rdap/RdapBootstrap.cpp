#include "rdap/RdapBootstrap.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <cstring>

#include <nlohmann/json.hpp>

#include "platform/TextFile.h"
#include "rdap/RdapText.h"

namespace rdap {
namespace {

using nlohmann::json;

bool ParseU32(std::string_view s, uint32_t& out) {
    if (s.empty())
        return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

// An address with an optional "/LEN"; false when it is neither IPv4 nor IPv6.
bool ParseAddress(std::string_view text, uint8_t bytes[16], bool& v6, int& length) {
    std::string_view addr = text;
    int maxLength = 0;
    length = -1;
    if (auto slash = text.find('/'); slash != std::string_view::npos) {
        uint32_t len = 0;
        if (!ParseU32(text.substr(slash + 1), len) || len > 128)
            return false;
        length = static_cast<int>(len);
        addr = text.substr(0, slash);
    }
    std::string a(addr);
    if (inet_pton(AF_INET, a.c_str(), bytes) == 1) {
        v6 = false;
        maxLength = 32;
    } else if (inet_pton(AF_INET6, a.c_str(), bytes) == 1) {
        v6 = true;
        maxLength = 128;
    } else {
        return false;
    }
    if (length < 0)
        length = maxLength;
    return length <= maxLength;
}

bool SamePrefix(const uint8_t* a, const uint8_t* b, int bits) {
    int whole = bits / 8;
    if (std::memcmp(a, b, static_cast<std::size_t>(whole)) != 0)
        return false;
    int rest = bits % 8;
    if (rest == 0)
        return true;
    auto mask = static_cast<uint8_t>(0xff << (8 - rest));
    return (a[whole] & mask) == (b[whole] & mask);
}

std::string Folder(const std::string& folder) {
    if (folder.empty() || folder.back() == '/')
        return folder;
    return folder + '/';
}

// The array member `name` of a JSON object given as bytes; null when the bytes are not such
// an object. `doc` keeps the parsed document alive for the returned pointer.
const json* TopLevelArray(std::string_view text, const char* name, json& doc) {
    doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object())
        return nullptr;
    auto member = doc.find(name);
    return member != doc.end() && member->is_array() ? &*member : nullptr;
}

// A bootstrap entry of dns.json: LDH labels with at least one letter (a TLD is never all digits),
// so AS ranges and address prefixes served under that name are refused.
bool IsZoneName(std::string_view entry) {
    if (!entry.empty() && entry.back() == '.')
        entry.remove_suffix(1);
    bool letter = false;
    std::size_t label = 0;
    for (char c : entry) {
        const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (c == '.') {
            if (label == 0)
                return false;
            label = 0;
        } else if (alpha || (c >= '0' && c <= '9') || c == '-') {
            letter = letter || alpha;
            if (++label > 63)
                return false;
        } else {
            return false;
        }
    }
    return letter && label > 0;
}

} // namespace

QueryKind ClassifyQuery(std::string_view query) {
    if (query.empty() || query.size() > 253 + 1)
        return QueryKind::None;
    uint8_t bytes[16];
    bool v6 = false;
    int length = 0;
    if (ParseAddress(query, bytes, v6, length))
        return QueryKind::Ip;
    uint32_t as = 0;
    if (StartsWithNoCase(query, "as") && ParseU32(query.substr(2), as))
        return QueryKind::Autnum;
    std::string_view name = query;
    if (name.back() == '.')
        name.remove_suffix(1);
    if (name.find('.') == std::string_view::npos)
        return QueryKind::None;
    bool letter = false;
    std::size_t labelLength = 0;
    for (char c : name) {
        bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (c == '.') {
            if (labelLength == 0)
                return QueryKind::None;
            labelLength = 0;
            continue;
        }
        if (!alpha && !(c >= '0' && c <= '9') && c != '-' && c != '_')
            return QueryKind::None;
        letter = letter || alpha;
        if (++labelLength > 63)
            return QueryKind::None;
    }
    return letter && labelLength > 0 ? QueryKind::Domain : QueryKind::None;
}

std::size_t Bootstrap::AddService(Urls urls) {
    // https first, so the caller's first choice never downgrades the transport.
    std::stable_partition(urls.begin(), urls.end(),
                          [](const std::string& u) { return StartsWithNoCase(u, "https://"); });
    for (std::string& u : urls) {
        if (u.back() != '/')
            u += '/';
    }
    services_.push_back(std::move(urls));
    return services_.size() - 1;
}

bool Bootstrap::AddFile(QueryKind kind, std::string_view text, int family) {
    json doc;
    const json* services = TopLevelArray(text, "services", doc);
    if (!services)
        return false;
    // Parsed whole into local tables first, so a bad file adds nothing.
    std::vector<std::pair<std::vector<std::string>, Urls>> parsed;
    for (const json& service : *services) {
        if (!service.is_array() || service.size() < 2 || !service[0].is_array() ||
            !service[1].is_array())
            return false;
        std::vector<std::string> entries;
        Urls urls;
        for (const json& e : service[0]) {
            if (!e.is_string())
                return false;
            entries.push_back(e.get<std::string>());
        }
        for (const json& u : service[1]) {
            if (!u.is_string())
                return false;
            std::string url = u.get<std::string>();
            if (StartsWithNoCase(url, "https://") || StartsWithNoCase(url, "http://"))
                urls.push_back(std::move(url));
        }
        if (!urls.empty())
            parsed.emplace_back(std::move(entries), std::move(urls));
    }
    std::vector<std::pair<std::string, std::size_t>> names;
    std::vector<Prefix> prefixes;
    std::vector<AsRange> ranges;
    std::size_t next = services_.size();
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        for (const std::string& entry : parsed[i].first) {
            if (kind == QueryKind::Domain) {
                if (!IsZoneName(entry))
                    return false;
                std::string label = AsciiLower(entry);
                while (!label.empty() && label.back() == '.')
                    label.pop_back();
                names.emplace_back(std::move(label), next + i);
            } else if (kind == QueryKind::Ip) {
                Prefix p;
                if (!ParseAddress(entry, p.bytes, p.v6, p.length) ||
                    (family != 0 && p.v6 != (family == 6)))
                    return false;
                p.service = next + i;
                prefixes.push_back(p);
            } else if (kind == QueryKind::Autnum) {
                AsRange r;
                auto dash = entry.find('-');
                std::string_view e(entry);
                if (!ParseU32(e.substr(0, dash), r.first) ||
                    !ParseU32(dash == std::string::npos ? e : e.substr(dash + 1), r.last) ||
                    r.last < r.first)
                    return false;
                r.service = next + i;
                ranges.push_back(r);
            } else {
                return false;
            }
        }
    }
    if (names.empty() && prefixes.empty() && ranges.empty())
        return false; // an empty table would hide the file it stands in for
    for (auto& [entries, urls] : parsed)
        AddService(std::move(urls));
    for (auto& [label, service] : names)
        domains_.emplace(std::move(label), service);
    prefixes_.insert(prefixes_.end(), prefixes.begin(), prefixes.end());
    asRanges_.insert(asRanges_.end(), ranges.begin(), ranges.end());
    return true;
}

bool Bootstrap::AddCcTldSupplement(std::string_view text) {
    json doc;
    const json* list = TopLevelArray(text, "ccTldRdapServers", doc);
    if (!list)
        return false;
    for (const json& item : *list) {
        if (!item.is_object())
            continue;
        auto tld = item.find("tld");
        auto server = item.find("rdapServer");
        if (tld == item.end() || server == item.end() || !tld->is_string() || !server->is_string())
            continue;
        std::string url = server->get<std::string>();
        std::string label = AsciiLower(tld->get<std::string>());
        if (label.empty() || domains_.count(label) != 0 ||
            !(StartsWithNoCase(url, "https://") || StartsWithNoCase(url, "http://")))
            continue;
        domains_.emplace(std::move(label), AddService({std::move(url)}));
    }
    return true;
}

Bootstrap Bootstrap::Load(const std::vector<std::string>& folders) {
    Bootstrap b;
    for (QueryKind kind : {QueryKind::Domain, QueryKind::Ip, QueryKind::Autnum})
        b.LoadKind(kind, folders);
    return b;
}

void Bootstrap::LoadKind(QueryKind kind, const std::vector<std::string>& folders) {
    // Each file from the first folder whose copy is valid: an invalid user file leaves the
    // shipped one in force.
    auto first = [&folders](const char* name, auto add) {
        std::string text;
        for (const std::string& folder : folders)
            if (platform::ReadFileBytes(Folder(folder) + name, text) && add(text))
                return;
    };
    for (const File& file : kFiles)
        if (file.kind == kind)
            first(file.name,
                  [&](const std::string& text) { return AddFile(kind, text, file.family); });
    if (kind == QueryKind::Domain)
        first(kSupplementName, [&](const std::string& text) { return AddCcTldSupplement(text); });
}

std::vector<std::string> Bootstrap::ServicesFor(std::string_view query) const {
    switch (ClassifyQuery(query)) {
    case QueryKind::Domain: {
        std::string name = AsciiLower(query);
        if (name.back() == '.')
            name.pop_back();
        // Longest suffix first: the whole name, then without its first label, and so on.
        std::string_view rest(name);
        while (!rest.empty()) {
            if (auto it = domains_.find(rest); it != domains_.end())
                return services_[it->second];
            auto dot = rest.find('.');
            if (dot == std::string_view::npos)
                break;
            rest.remove_prefix(dot + 1);
        }
        return {};
    }
    case QueryKind::Ip: {
        Prefix q;
        ParseAddress(query, q.bytes, q.v6, q.length);
        const Prefix* best = nullptr;
        for (const Prefix& p : prefixes_) {
            if (p.v6 == q.v6 && p.length <= q.length && SamePrefix(p.bytes, q.bytes, p.length) &&
                (best == nullptr || p.length > best->length))
                best = &p;
        }
        return best ? services_[best->service] : Urls{};
    }
    case QueryKind::Autnum: {
        uint32_t as = 0;
        ParseU32(query.substr(2), as);
        for (const AsRange& r : asRanges_) {
            if (r.first <= as && as <= r.last)
                return services_[r.service];
        }
        return {};
    }
    case QueryKind::None:
        break;
    }
    return {};
}

std::size_t Bootstrap::Size(QueryKind kind) const {
    switch (kind) {
    case QueryKind::Domain:
        return domains_.size();
    case QueryKind::Ip:
        return prefixes_.size();
    case QueryKind::Autnum:
        return asRanges_.size();
    case QueryKind::None:
        break;
    }
    return 0;
}

std::string QueryUrl(std::string_view base, std::string_view query) {
    std::string url(base);
    if (url.empty() || url.back() != '/')
        url += '/';
    switch (ClassifyQuery(query)) {
    case QueryKind::Domain: {
        std::string_view name = query;
        if (name.back() == '.')
            name.remove_suffix(1);
        return url + "domain/" + std::string(name);
    }
    case QueryKind::Ip:
        return url + "ip/" + std::string(query);
    case QueryKind::Autnum:
        return url + "autnum/" + std::string(query.substr(2));
    case QueryKind::None:
        break;
    }
    return {};
}

} // namespace rdap
