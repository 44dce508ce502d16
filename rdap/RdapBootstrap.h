#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace rdap {

// Domain: a name with at least one dot, in its ASCII (IDNA) form; a trailing dot is allowed.
// Ip: an IPv4 or IPv6 address, optionally with a prefix length ("192.0.2.0/24").
// Autnum: "AS" followed by digits, either case ("AS2515", "as2515"). Bare digits are None:
// on port 43 they are handles as often as AS numbers.
enum class QueryKind { Domain, Ip, Autnum, None };
QueryKind ClassifyQuery(std::string_view query);

// The bootstrap tables of RFC 9224: which RDAP service answers for a domain, an address block
// or an AS number range.
class Bootstrap {
public:
    // The four IANA files (dns.json, ipv4.json, ipv6.json, asn.json) and the ccTLD supplement
    // (dns-cctld.json), each taken from the first folder that has a valid one (user folder
    // first, then the shipped one). No valid file leaves that kind empty; never throws.
    static Bootstrap Load(const std::vector<std::string>& folders);
    // Load for one kind only (a Domain also takes the supplement): what a single lookup needs.
    void LoadKind(QueryKind kind, const std::vector<std::string>& folders);
    // Pure parser for one IANA file's bytes; false when not bootstrap JSON of that kind (nothing
    // is added): no entry at all, or one that is not a domain name, an address prefix (of
    // `family` 4 or 6 when given) or an AS range. Services added earlier win over later ones.
    bool AddFile(QueryKind kind, std::string_view json, int family = 0);
    // The supplement of ccTLDs that run RDAP but are missing from IANA's file:
    // {"ccTldRdapServers":[{"tld":"de","rdapServer":"https://..."}]}. Only TLDs that the
    // IANA file lacks are taken. False when not of that form.
    bool AddCcTldSupplement(std::string_view json);
    // Base URLs (https first, each ending in '/') of the service for the query; empty if none.
    std::vector<std::string> ServicesFor(std::string_view query) const;

    // Entries held per kind (for the update command's report and for tests).
    std::size_t Size(QueryKind kind) const;

    struct File {
        const char* name;
        QueryKind kind;
        int family; // addresses: 4 or 6; 0 otherwise
    };
    static constexpr File kFiles[] = {{"dns.json", QueryKind::Domain, 0},
                                      {"ipv4.json", QueryKind::Ip, 4},
                                      {"ipv6.json", QueryKind::Ip, 6},
                                      {"asn.json", QueryKind::Autnum, 0}};
    static constexpr const char* kSupplementName = "dns-cctld.json";

private:
    using Urls = std::vector<std::string>;
    struct Prefix {
        uint8_t bytes[16] = {};
        bool v6 = false;
        int length = 0;
        std::size_t service = 0;
    };
    struct AsRange {
        uint32_t first = 0, last = 0;
        std::size_t service = 0;
    };
    std::size_t AddService(Urls urls);

    std::vector<Urls> services_;
    std::map<std::string, std::size_t, std::less<>> domains_; // lower-case label suffix
    std::vector<Prefix> prefixes_;
    std::vector<AsRange> asRanges_;
};

// base + "domain/NAME" | "ip/ADDR[/LEN]" | "autnum/N" (base given with or without trailing '/');
// empty for a query of kind None.
std::string QueryUrl(std::string_view base, std::string_view query);

} // namespace rdap
