#pragma once

// Who owns each hop of a trace: the AS that announces its address, asked of a bulk
// IP-to-AS WHOIS service on port 43 (`begin`, `verbose`, one address a line, `end`; answer
// lines `AS | IP | BGP Prefix | CC | Registry | Allocated | AS Name`), with RDAP's network
// as the fallback. The pure parts are here; the controller runs the exchanges.
#include "engine/QueryClients.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hopowner {

// The public service asked unless the settings name another.
inline constexpr const char* DefaultServer = "whois.cymru.com";

struct Owner {
    uint32_t as = 0;      // 0: no AS announces the address
    std::string name;     // the AS's name, or RDAP's network name
    std::string prefix;   // the BGP prefix, or RDAP's CIDR
    std::string country;  // ISO 3166 code
    std::string registry; // "ripencc", "arin", ... or the RDAP service's host
};

// What is known of one hop's owner.
struct Lookup {
    enum class Status {
        Found, // from the AS service
        FoundByRdap,
        Private, // an address that belongs to nobody outside: never sent
        Unknown, // the service answered but names no AS for it
        Failed,  // neither the service nor RDAP answered
    } status = Status::Unknown;
    Owner owner;
    // Failed: why, in words (the service's failure, then RDAP's when it was tried).
    std::string reason;
};

// RFC 1918, 100.64.0.0/10, loopback, link-local, fc00::/7, and the unspecified addresses
// (an IPv4-mapped IPv6 address as its IPv4 one). Text that is no address is not private.
bool IsPrivateAddress(const std::string& address);

// The request for these addresses in the bulk form; text that is no address is left out, so
// nothing but addresses can reach the service.
std::string BulkRequest(const std::vector<std::string>& addresses);

// The owners an answer names, keyed by the address as this program writes it (so an IPv6
// address the service writes in another form still matches). Lines of both the verbose and
// the short form (`AS | IP | AS Name`) are read, headers, notices and errors skipped; an
// address listed twice (several origins) keeps its first line; "NA" reads as no AS.
std::map<std::string, Owner> ParseBulkAnswer(std::string_view answer);

// The owner RDAP states for an address's network (an RDAP ip network object), as the
// fallback; `found` false when the object names no network.
Owner OwnerFromRdap(std::string_view record, bool& found);

// "AS64500 NAME", "AS64500" without a name, the network's name without an AS, "private".
std::string OwnerText(const Lookup& lookup);

} // namespace hopowner

// One bulk exchange with the AS service: the request as built by BulkRequest, no trailer,
// 5 seconds per chunk.
class TOwnerQuery : public TQueryClient {
public:
    TOwnerQuery(const std::vector<std::string>& addresses, const TagHostEnt& server);

protected:
    int32_t CheckWire() const override;
};
