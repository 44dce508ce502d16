#include "engine/Resolvers.h"

#include "engine/HostRoutines.h"

#include <sys/socket.h>

TNameResolv::TNameResolv(const std::string& target) : TWSAThread(false), FTarget(target) {}

void TNameResolv::Execute() {
    if (FWinSockReady)
        ResolveHost(FTarget, FHost);
    else
        // Report the lookup as failed rather than not at all, so no operation waits for a
        // result that would never come.
        PrepareLookup(FTarget, FHost);
    if (OnLookup)
        RaiseOnMain([this] { OnLookup(this, FHost); });
}

void TNameResolv::Failed(bool noThread, std::exception_ptr error) {
    PrepareLookup(FTarget, FHost);
    FHost.Error = FailureCode(noThread, error);
    if (OnLookup)
        RaiseOnMain([this] { OnLookup(this, FHost); });
}

TIPResolv::TIPResolv(int32_t tag, uint32_t address)
    : TWSAThread(false), FTag(tag), FAddress(address) {}

void TIPResolv::Execute() {
    FHost = TagHostEnt{};
    if (FWinSockReady) {
        FHost.Address = FAddress;
        auto entry = winsock::gethostbyaddr(&FAddress, 4, AF_INET);
        FHost.Found = entry.has_value();
        if (entry)
            FillHostRecord(*entry, FHost);
        else
            FHost.HostName = UnknownHopName;
    }
    if (OnLookup)
        RaiseOnMain([this] { OnLookup(this, FTag, FHost); });
}

void TIPResolv::Failed(bool, std::exception_ptr) {
    FHost = TagHostEnt{};
    FHost.Address = FAddress;
    FHost.HostName = UnknownHopName;
    if (OnLookup)
        RaiseOnMain([this] { OnLookup(this, FTag, FHost); });
}
