#pragma once

#include "engine/EngineTypes.h"
#include "engine/WSAThread.h"

#include <cstdint>
#include <functional>
#include <string>

namespace winsock {
struct HostEntry;
}

using TLookupEvent = std::function<void(TObject* Sender, const TagHostEnt& Host)>;
using TTagLookupEvent = std::function<void(TObject* Sender, int32_t Tag, const TagHostEnt& Host)>;

// Looks a host name or dotted address up (ResolveHost) and reports the record.
class TNameResolv : public TWSAThread {
public:
    explicit TNameResolv(const std::string& target);

    std::string FTarget;
    // AF_INET or AF_INET6 keeps the addresses of that family only; 0 keeps both.
    int FFamily = 0;
    TagHostEnt FHost;
    TLookupEvent OnLookup;

protected:
    void Execute() override;
    // Reported as a lookup that found nothing, with the error that stopped it, so the
    // operation goes on to its end and says why.
    void Failed(bool noThread, std::exception_ptr error) override;
};

// Reverse-resolves one address (a trace hop) and reports the record with the caller's tag.
class TIPResolv : public TWSAThread {
public:
    TIPResolv(int32_t tag, uint32_t address);
    // An IPv6 hop: the record's Addresses6 holds the address.
    TIPResolv(int32_t tag, const TIn6Addr& address);

    int32_t FTag = 0;
    uint32_t FAddress = 0;
    bool FIPv6 = false;
    TIn6Addr FAddress6{};
    TagHostEnt FHost;
    TTagLookupEvent OnLookup;

protected:
    void Execute() override;
    // Reported as a hop without a name.
    void Failed(bool noThread, std::exception_ptr error) override;
};

// Host name given to a hop address without a reverse entry.
inline constexpr const char* UnknownHopName = "...(unknown)";
