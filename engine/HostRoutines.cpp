#include "engine/HostRoutines.h"

#include "engine/Resolvers.h"
#include "platform/WinSock.h"

#include <cstdio>

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

void FillHostRecord(const winsock::HostEntry& entry, TagHostEnt& host) {
    host.Address = entry.addresses.empty() ? 0 : entry.addresses.front();
    host.Aliases = entry.aliases;
    host.Addresses = entry.addresses;
    host.HostName = entry.name;
}

void PrepareLookup(const std::string& text, TagHostEnt& host) {
    host = TagHostEnt{};
    host.Query = text;
    if (IsIPAddress(text))
        host.Address = winsock::inet_addr(text.c_str());
    else
        host.HostName = text;
}

void ResolveHost(const std::string& text, TagHostEnt& host) {
    PrepareLookup(text, host);
    std::optional<winsock::HostEntry> entry;
    if (IsIPAddress(text))
        entry = winsock::gethostbyaddr(&host.Address, 4, AF_INET);
    else
        entry = winsock::gethostbyname(text);
    host.Found = entry.has_value();
    if (entry)
        FillHostRecord(*entry, host);
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
