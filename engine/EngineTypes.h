#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// An IPv6 address, its 16 bytes in network order.
using TIn6Addr = std::array<uint8_t, 16>;

// The host record: the result of one name or address lookup, copied by value. IPv6 addresses
// stand apart from the IPv4 ones, so a record with any IPv4 address reads as it always did;
// a host with only IPv6 addresses has Address 0 and is reached over IPv6.
struct TagHostEnt {
    bool Found = false;
    std::string Query;
    std::string HostName;
    std::vector<std::string> Aliases;
    std::vector<uint32_t> Addresses;  // network byte order
    uint32_t Address = 0;             // network byte order
    std::vector<TIn6Addr> Addresses6; // the IPv6 addresses, in the resolver's order
    // The zone (interface index) of the first IPv6 address, as typed after its "%"; 0 none.
    uint32_t Scope6 = 0;
    // The WinSock error of a lookup that could not be made at all (no thread for it), so it
    // is not shown as a name that does not exist; 0 otherwise.
    int32_t Error = 0;
};

// Common sender type of every event of the engine (controller and workers).
class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TOperationEvent = std::function<void(TObject* Sender, uint8_t Operation)>;
using TResolvedEvent =
    std::function<void(TObject* Sender, uint8_t Operation, const TagHostEnt& Host)>;
using TLookupStartEvent =
    std::function<void(TObject* Sender, uint8_t Operation, const std::string& Target)>;
using TQueryStartEvent =
    std::function<void(TObject* Sender, const std::string& Server, const std::string& Query)>;
using TQueryResultEvent = std::function<void(
    TObject* Sender, int32_t Code, const std::string& Query, const std::string& Response)>;
using TEchoReplyEvent = std::function<void(TObject* Sender, uint8_t Status, int32_t Sequence,
                                           int32_t ReplyTime, const TagHostEnt& Host)>;
// Address: the hop's answering address as text, dotted or IPv6 (meaningful for status 1).
using TTraceHopEvent = std::function<void(TObject* Sender, int32_t Hop, uint8_t Status,
                                          int32_t ReplyTime, const std::string& Address)>;
using THopResolvedEvent = std::function<void(TObject* Sender, int32_t Hop, const TagHostEnt& Host)>;

// Operation codes. opWhois is only ever passed to OnStart and OnResolved.
constexpr uint8_t opLookup = 1, opPing = 2, opTrace = 3, opWhois = 4, opSmtp = 5;
