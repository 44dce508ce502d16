#pragma once

#include "engine/EngineTypes.h"
#include "platform/WinSock.h"

#include <cstdint>
#include <string>
#include <vector>

// The dotted-quad test: only digits and dots, exactly three dots (no range check).
bool IsIPAddress(const std::string& text);
// 0.0.0.0 or :: in any spelling, with or without a zone: an address that names no host.
bool IsUnspecifiedAddress(const std::string& text);
// Dotted quads, and texts of lower-case letters, digits, "-" and "." (the empty text too).
bool IsHostName(const std::string& text);
// "%u.%u.%u.%u" of an address in network byte order, first octet first.
std::string IPToStr(uint32_t address);
// One forward (name) or reverse (dotted or IPv6 text) lookup into `host`; blocks on the
// resolver. A name gives its IPv4 addresses and its IPv6 addresses from one pass through the
// name services, and with `aliases` its aliases (the host entry's, a second question);
// `family` (AF_INET or AF_INET6; AF_UNSPEC for both) keeps only the addresses of one family,
// and a record left without any address is not found (an address typed in the other family
// too: it keeps no address at all). An IPv6 address keeps its zone in Scope6.
void ResolveHost(const std::string& text, TagHostEnt& host, int family = 0, bool aliases = true);

// An IPv6 address in text form ("2001:db8::1"), parsed into `address`.
bool ParseIPv6(const std::string& text, TIn6Addr& address);
// The same with an optional zone after "%" ("fe80::1%eth0", or an interface number), its
// interface index into `scope` (0 without a zone). False for a zone that names no interface.
bool ParseIPv6Zone(const std::string& text, TIn6Addr& address, uint32_t& scope);
// The compressed text form of an IPv6 address.
std::string IP6ToStr(const TIn6Addr& address);
// The same with the zone ("%eth0", or "%<index>" for a vanished interface) of a link-local
// address whose scope is set; other addresses show none.
std::string IP6ToStr(const TIn6Addr& address, uint32_t scope);
// Queries that WHOIS servers answer about address space: a dotted quad, an IPv4 prefix
// ("192.0.2.0/24"), an IPv6 address or prefix ("2001:db8::/32") and an AS number ("AS2515",
// "as2515").
bool IsAddressQuery(const std::string& text);
// Whether the record is reached over IPv6: it has no IPv4 address but an IPv6 one.
bool UsesIPv6(const TagHostEnt& host);
// The address a probe or a connection goes to first, as text.
std::string HostAddressText(const TagHostEnt& host);
// Every address of the record as text, IPv4 first (Address, then the others), each once.
std::vector<std::string> HostAddressTexts(const TagHostEnt& host);
struct TWSAERROR {
    int32_t Code;
    const char* Name;
};
constexpr int WSAErrorCount = 51;
extern const TWSAERROR WSAErrorTable[WSAErrorCount];

// "Error " and the WinSock name of the code, or "Unknown Error!".
std::string WSAErrorText(int32_t code);

// Copies a resolver entry into a record: first address, aliases, all addresses, official name.
void FillHostRecord(const winsock::HostEntry& entry, TagHostEnt& host);
// The record of a lookup of `text` that found nothing: cleared, Query set, and the name
// (name case) or the parsed address (dotted case). ResolveHost starts from it.
void PrepareLookup(const std::string& text, TagHostEnt& host);
