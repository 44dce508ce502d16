#pragma once

#include <string>
#include <string_view>
#include <vector>

// The registration an answer states, read into values: what scripts and the window's summary
// use instead of splitting the text again. Pure functions over the answer's bytes (UTF-8, as
// PrepareAnswer gives it); nothing here touches a socket or a file.

struct RegistrarInfo {
    std::string name;
    std::string ianaId;
    std::string url;
    std::string abuseEmail;
    std::string abusePhone;
};

struct NetworkInfo {
    std::string range;  // "192.0.2.0 - 192.0.2.255" as stated
    std::string cidr;   // "192.0.2.0/24"
    std::string name;   // netname
    std::string handle; // NetHandle, inet6num's handle, aut-num
    std::string organization;
    std::string country;
    std::string originAs;
    std::string registry; // the server (or RDAP service) that answered
    bool Empty() const {
        return range.empty() && cidr.empty() && name.empty() && handle.empty() &&
               organization.empty() && country.empty() && originAs.empty();
    }
};

// Dates are ISO 8601: "2001-03-21", or "2001-03-21T05:00:00Z" where the answer gives a time
// in UTC (or an offset, turned into UTC). Empty: not stated, or not readable without a guess.
struct Registration {
    std::string name;
    RegistrarInfo registrar;
    std::string created, updated, expires;
    std::vector<std::string> status;
    std::vector<std::string> nameservers; // lower case, no final dot, no glue addresses
    std::string dnssec;                   // "signed", "unsigned" or empty
    std::string registrantOrganization, registrantCountry;
    std::vector<std::string> redacted; // field names: "registrant", "registrant.organization"...
    NetworkInfo network;
    // Dates the answer wrote in a form whose day and month cannot be told apart, for a
    // registry whose order is not known: left out of the fields above, named here instead.
    std::vector<std::string> ambiguousDates;

    bool Empty() const {
        return name.empty() && registrar.name.empty() && created.empty() && expires.empty() &&
               status.empty() && nameservers.empty() && network.Empty();
    }
};

// Which of two numbers comes first in a date like 03/04/2020, where the text cannot tell.
enum class DayMonthOrder { Unknown, DayFirst, MonthFirst };

// The order a registry writes, by the query's top-level label ("hk" day first, "tk" month
// first); Unknown where it is not known.
DayMonthOrder RegistryDateOrder(std::string_view query);

// One date as ISO 8601, or empty. Reads 2001-03-21T05:00:00Z (and offsets, fractions),
// 2001-03-21 05:00:00, 21-Mar-2001, 21 Mar 2001, 31st March 2001, Mar 21 2001,
// Wed Mar 21 05:00:00 GMT 2001, 2001.03.21, 2001/03/21, 20010321, 2001. 03. 21.,
// 21.03.2001, 21/03/2001 (by order), 2001年03月21日 and the Japanese era 平成13年3月21日.
// *ambiguous is set when the form was read but day and month could not be told apart.
std::string ParseWhoisDate(std::string_view text, DayMonthOrder order, bool* ambiguous = nullptr);

// A name server's host name from its value ("NS1.EXAMPLE.COM. 192.0.2.1", "ns1.x.test
// (192.0.2.1)"): lower case, no final dot, glue left out; empty when it is no host name.
std::string NameServerHost(std::string_view value);

// The record stated by one WHOIS answer for the query.
Registration ReadWhoisRecord(std::string_view text, std::string_view query);

// The record an RDAP answer's JSON states: events registration, expiration and last changed;
// the entity with role registrar (its IANA ID, vCard URL and abuse entity); nameservers'
// ldhName; secureDNS; the registrant's card and RFC 9537 redactions; an IP network's or AS
// number's range, CIDRs, name, handle, country, origin AS and port-43 registry.
Registration ReadRdapRecord(std::string_view answer);

// Whether an answer without a line naming the query is still its record: it states a registrar
// or name servers together with a creation or expiry date, names no other domain, and says
// nothing of "no match".
bool StatesRegistration(std::string_view text, std::string_view query);

// The registry's record and the registrar's below it, merged: the registry is the authority
// for the name's dates, status, name servers, DNSSEC and which registrar holds it; the
// registrar's answer for its own contact details (URL, abuse contacts) and the registrant.
// A field only one of them states comes from that one.
Registration MergeRecords(const Registration& registry, const Registration& registrar);

// The fields a reader looks at first, in the order they are shown: for a domain the
// registrar, created, expires, status and name servers; for an address or AS number the
// network, its name, owner, origin AS and registry. Each value is one line's worth (lists
// joined with ", "); a field the record does not state is left out. Front ends label them
// in their own language.
enum class SummaryField {
    Registrar,
    Created,
    Expires,
    Status,
    NameServers,
    Network,
    NetworkName,
    Owner,
    Origin,
    Registry
};
struct SummaryLine {
    SummaryField field;
    std::string value;
};
std::vector<SummaryLine> RecordSummary(const Registration& record);
