#include "engine/HostRoutines.h"

#include "engine/Resolvers.h"
#include "platform/WinSock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>

bool IsIPAddress(const std::string& text) {
    int dots = 0;
    for (char c : text) {
        if (c == '.')
            ++dots;
        else if (c < '0' || c > '9')
            return false;
    }
    return dots == 3;
}

bool IsUnspecifiedAddress(const std::string& text) {
    TIn6Addr address;
    if (IsIPAddress(text))
        return text.find_first_not_of("0.") == std::string::npos;
    return ParseIPv6(text.substr(0, text.find('%')), address) && address == TIn6Addr{};
}

bool IsHostName(const std::string& text) {
    if (IsIPAddress(text))
        return true;
    for (char c : text) {
        const bool ok = c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
        if (!ok)
            return false;
    }
    return true;
}

std::string IPToStr(uint32_t address) {
    // Memory order: the first octet in network order is the lowest-addressed byte.
    const auto* b = reinterpret_cast<const unsigned char*>(&address);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned(b[0]), unsigned(b[1]), unsigned(b[2]),
                  unsigned(b[3]));
    return text;
}

bool ParseIPv6(const std::string& text, TIn6Addr& address) {
    return ::inet_pton(AF_INET6, text.c_str(), address.data()) == 1;
}

std::string IP6ToStr(const TIn6Addr& address) {
    char text[INET6_ADDRSTRLEN];
    return ::inet_ntop(AF_INET6, address.data(), text, sizeof text) ? text : "";
}

bool ParseIPv6Zone(const std::string& text, TIn6Addr& address, uint32_t& scope) {
    scope = 0;
    const size_t percent = text.find('%');
    if (percent == std::string::npos)
        return ParseIPv6(text, address);
    const std::string zone = text.substr(percent + 1);
    if (zone.empty() || zone.size() >= IF_NAMESIZE || !ParseIPv6(text.substr(0, percent), address))
        return false;
    if (std::all_of(zone.begin(), zone.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const unsigned long index = std::stoul(zone);
        scope = index <= 0xFFFFFFFFul ? uint32_t(index) : 0;
    } else {
        scope = ::if_nametoindex(zone.c_str());
    }
    return scope != 0;
}

std::string IP6ToStr(const TIn6Addr& address, uint32_t scope) {
    // Only a link-local address (fe80::/10, ff02::/16) needs its zone to mean one place.
    const bool linkLocal = (address[0] == 0xFE && (address[1] & 0xC0) == 0x80) ||
                           (address[0] == 0xFF && (address[1] & 0x0F) == 0x02);
    std::string text = IP6ToStr(address);
    if (scope == 0 || !linkLocal)
        return text;
    char name[IF_NAMESIZE];
    return text + "%" + (::if_indextoname(scope, name) ? std::string(name) : std::to_string(scope));
}

namespace {

// An IPv6 address, or one with a prefix length of 0 to 128 after a slash.
bool IsIPv6Query(const std::string& text) {
    TIn6Addr address;
    const size_t slash = text.find('/');
    if (!ParseIPv6(text.substr(0, slash), address))
        return false;
    if (slash == std::string::npos)
        return true;
    const std::string length = text.substr(slash + 1);
    return !length.empty() && length.size() <= 3 &&
           std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::stoi(length) <= 128;
}

// A dotted quad with a prefix length of 0 to 32 after a slash.
bool IsIPv4Prefix(const std::string& text) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos || !IsIPAddress(text.substr(0, slash)))
        return false;
    const std::string length = text.substr(slash + 1);
    return !length.empty() && length.size() <= 2 &&
           std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::stoi(length) <= 32;
}

// "AS" in either case and a 32-bit AS number.
bool IsAsNumber(const std::string& text) {
    if (text.size() < 3 || text.size() > 12 || (text[0] != 'A' && text[0] != 'a') ||
        (text[1] != 'S' && text[1] != 's'))
        return false;
    const std::string digits = text.substr(2);
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::stoull(digits) <= 0xFFFFFFFFull;
}

// A name's addresses of both families (or of `family` alone) in one getaddrinfo: one pass
// through the name services, so a name that the hosts file knows is not also asked of DNS
// for the other family, and DNS gets both questions at once. Each address once, in the
// resolver's order; the canonical name into `name`.
bool LookupName(const std::string& text, int family, std::string& name,
                std::vector<uint32_t>& addresses, std::vector<TIn6Addr>& addresses6) {
    addrinfo hints{};
    hints.ai_family = family == AF_INET || family == AF_INET6 ? family : AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* list = nullptr;
    if (winsock::getaddrinfo(text.c_str(), nullptr, &hints, &list) != 0)
        return false;
    if (list->ai_canonname)
        name = list->ai_canonname;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
            const uint32_t address =
                reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
            if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
                addresses.push_back(address);
        } else if (a->ai_family == AF_INET6 && a->ai_addrlen >= sizeof(sockaddr_in6)) {
            TIn6Addr address;
            std::memcpy(address.data(),
                        &reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr, 16);
            if (std::find(addresses6.begin(), addresses6.end(), address) == addresses6.end())
                addresses6.push_back(address);
        }
    }
    winsock::freeaddrinfo(list);
    return !addresses.empty() || !addresses6.empty();
}

} // namespace

bool IsAddressQuery(const std::string& text) {
    return IsIPAddress(text) || IsIPv4Prefix(text) || IsIPv6Query(text) || IsAsNumber(text);
}

bool UsesIPv6(const TagHostEnt& host) {
    return host.Address == 0 && !host.Addresses6.empty();
}

std::string HostAddressText(const TagHostEnt& host) {
    return UsesIPv6(host) ? IP6ToStr(host.Addresses6.front(), host.Scope6) : IPToStr(host.Address);
}

std::vector<std::string> HostAddressTexts(const TagHostEnt& host) {
    std::vector<std::string> texts;
    auto add = [&texts](const std::string& text) {
        if (std::find(texts.begin(), texts.end(), text) == texts.end())
            texts.push_back(text);
    };
    if (host.Address != 0)
        add(IPToStr(host.Address));
    for (uint32_t address : host.Addresses)
        add(IPToStr(address));
    for (size_t k = 0; k < host.Addresses6.size(); ++k)
        add(IP6ToStr(host.Addresses6[k], k == 0 ? host.Scope6 : 0));
    return texts;
}

void FillHostRecord(const winsock::HostEntry& entry, TagHostEnt& host) {
    host.Address = entry.addresses.empty() ? 0 : entry.addresses.front();
    host.Aliases = entry.aliases;
    host.Addresses = entry.addresses;
    host.Addresses6 = entry.addresses6;
    host.HostName = entry.name;
}

void PrepareLookup(const std::string& text, TagHostEnt& host) {
    host = TagHostEnt{};
    host.Query = text;
    TIn6Addr address6;
    uint32_t scope = 0;
    if (IsIPAddress(text)) {
        host.Address = winsock::inet_addr(text.c_str());
    } else if (ParseIPv6Zone(text, address6, scope)) {
        host.Addresses6 = {address6};
        host.Scope6 = scope;
    } else {
        host.HostName = text;
    }
}

void ResolveHost(const std::string& text, TagHostEnt& host, int family, bool aliases) {
    PrepareLookup(text, host);
    std::optional<winsock::HostEntry> entry;
    if (IsIPAddress(text)) {
        entry = winsock::gethostbyaddr(&host.Address, 4, AF_INET);
    } else if (!host.Addresses6.empty()) {
        entry = winsock::gethostbyaddr(host.Addresses6.front().data(), 16, AF_INET6);
        // The reverse entry names the address; it is the one that was asked about.
        if (entry)
            entry->addresses6 = host.Addresses6;
    } else {
        std::string canonical;
        std::vector<uint32_t> addresses;
        std::vector<TIn6Addr> addresses6;
        if (LookupName(text, family, canonical, addresses, addresses6)) {
            const int error = winsock::WSAGetLastError();
            // Only the host entry lists aliases; its IPv4 addresses are the ones shown with
            // them. Asked only when the name has IPv4 addresses at all.
            if (aliases && !addresses.empty())
                entry = winsock::gethostbyname(text);
            winsock::WSASetLastError(error);
            if (!entry) {
                entry.emplace();
                entry->name = canonical.empty() ? text : canonical;
                entry->addresses = addresses;
            }
            entry->addresses6 = addresses6;
        }
    }
    host.Found = entry.has_value();
    if (entry)
        FillHostRecord(*entry, host);
    if (family == AF_INET6) {
        host.Address = 0;
        host.Addresses.clear();
    } else if (family == AF_INET) {
        host.Addresses6.clear();
        host.Scope6 = 0;
    }
    if (family != 0 && host.Address == 0 && host.Addresses6.empty())
        host.Found = false;
}

const TWSAERROR WSAErrorTable[WSAErrorCount] = {
    {10004, "WSAEINTR"},           {10009, "WSAEBADF"},          {10013, "WSAEACCES"},
    {10014, "WSAEFAULT"},          {10022, "WSAEINVAL"},         {10024, "WSAEMFILE"},
    {10035, "WSAEWOULDBLOCK"},     {10036, "WSAEINPROGRESS"},    {10037, "WSAEALREADY"},
    {10038, "WSAENOTSOCK"},        {10039, "WSAEDESTADDRREQ"},   {10040, "WSAEMSGSIZE"},
    {10041, "WSAEPROTOTYPE"},      {10042, "WSAENOPROTOOPT"},    {10043, "WSAEPROTONOSUPPORT"},
    {10044, "WSAESOCKTNOSUPPORT"}, {10045, "WSAEOPNOTSUPP"},     {10046, "WSAEPFNOSUPPORT"},
    {10047, "WSAEAFNOSUPPORT"},    {10048, "WSAEADDRINUSE"},     {10049, "WSAEADDRNOTAVAIL"},
    {10050, "WSAENETDOWN"},        {10051, "WSAENETUNREACH"},    {10052, "WSAENETRESET"},
    {10053, "WSAECONNABORTED"},    {10054, "WSAECONNRESET"},     {10055, "WSAENOBUFS"},
    {10056, "WSAEISCONN"},         {10057, "WSAENOTCONN"},       {10058, "WSAESHUTDOWN"},
    {10059, "WSAETOOMANYREFS"},    {10060, "WSAETIMEDOUT"},      {10061, "WSAECONNREFUSED"},
    {10062, "WSAELOOP"},           {10063, "WSAENAMETOOLONG"},   {10064, "WSAEHOSTDOWN"},
    {10065, "WSAEHOSTUNREACH"},    {10066, "WSAENOTEMPTY"},      {10067, "WSAEPROCLIM"},
    {10068, "WSAEUSERS"},          {10069, "WSAEDQUOT"},         {10070, "WSAESTALE"},
    {10071, "WSAEREMOTE"},         {10101, "WSAEDISCON"},        {10091, "WSASYSNOTREADY"},
    {10092, "WSAVERNOTSUPPORTED"}, {10093, "WSANOTINITIALISED"}, {11001, "WSAHOST_NOT_FOUND"},
    {11002, "WSATRY_AGAIN"},       {11003, "WSANO_RECOVERY"},    {11004, "WSANO_DATA"},
};

std::string WSAErrorText(int32_t code) {
    for (const TWSAERROR& e : WSAErrorTable)
        if (e.Code == code)
            return std::string("Error ") + e.Name;
    return "Unknown Error!";
}
