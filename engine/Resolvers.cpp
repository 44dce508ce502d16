#include "engine/Resolvers.h"

#include "engine/HostRoutines.h"

#include <sys/socket.h>

TNameResolv::TNameResolv(const std::string& target) : TWSAThread(false), FTarget(target) {}

void TNameResolv::Execute() {
    if (FWinSockReady)
        ResolveHost(FTarget, FHost, FFamily);
    else
        // Report the lookup as failed rather than not at all, so no operation waits for a
        // result that would never come.
        PrepareLookup(FTarget, FHost);
    if (OnLookup)
        Post([this] { OnLookup(this, FHost); });
}

void TNameResolv::Failed(bool noThread, std::exception_ptr error) {
    PrepareLookup(FTarget, FHost);
    FHost.Error = FailureCode(noThread, error);
    if (OnLookup)
        Post([this] { OnLookup(this, FHost); });
}

TIPResolv::TIPResolv(int32_t tag, uint32_t address)
    : TWSAThread(false), FTag(tag), FAddress(address) {}

TIPResolv::TIPResolv(int32_t tag, const TIn6Addr& address)
    : TWSAThread(false), FTag(tag), FIPv6(true), FAddress6(address) {}

namespace {

// The hop's own address in the record, whatever its family.
void SetHopAddress(TagHostEnt& host, bool ipv6, uint32_t address, const TIn6Addr& address6) {
    if (ipv6)
        host.Addresses6 = {address6};
    else
        host.Address = address;
}

} // namespace

void TIPResolv::Execute() {
    FHost = TagHostEnt{};
    if (FWinSockReady) {
        SetHopAddress(FHost, FIPv6, FAddress, FAddress6);
        auto entry = FIPv6 ? winsock::gethostbyaddr(FAddress6.data(), 16, AF_INET6)
                           : winsock::gethostbyaddr(&FAddress, 4, AF_INET);
        FHost.Found = entry.has_value();
        if (entry)
            FillHostRecord(*entry, FHost);
        else
            FHost.HostName = UnknownHopName;
    }
    if (OnLookup)
        Post([this] { OnLookup(this, FTag, FHost); });
}

void TIPResolv::Failed(bool, std::exception_ptr) {
    FHost = TagHostEnt{};
    SetHopAddress(FHost, FIPv6, FAddress, FAddress6);
    FHost.HostName = UnknownHopName;
    if (OnLookup)
        Post([this] { OnLookup(this, FTag, FHost); });
}
