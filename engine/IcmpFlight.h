#pragma once

// Probes in flight on one ICMP socket: sending a request, and handing each answer that
// arrives to the probe it answers. An echo is one probe; a trace keeps several in flight.
#include "engine/EngineTypes.h"
#include "engine/IcmpPacket.h"
#include "engine/IcmpSocket.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

namespace icmpflight {

using Clock = std::chrono::steady_clock;

// Where the probes go, in the forms the matchers compare.
struct Destination {
    bool v6 = false;
    uint32_t v4 = 0; // network byte order
    TIn6Addr address6{};
    uint32_t scope6 = 0;
};
Destination DestinationOf(const TagHostEnt& host);

// One probe and what became of it.
struct Probe {
    Destination to;
    uint32_t token = 0; // through the helper: the request's token
    std::array<uint8_t, icmp::RequestSize> request{};
    Clock::time_point sent, deadline;
    bool routeErrors = false; // a trace hop: time-exceeded and unreachable messages answer too
    bool answered = false, expired = false;
    icmp::ReplyKind kind = icmp::ReplyKind::Foreign;
    Clock::time_point arrived;
    std::array<uint8_t, icmp::ReplySize> reply{};
    TIn6Addr source6{};
    uint32_t scope6 = 0;

    bool Settled() const { return answered || expired; }
    // Round trip, never negative.
    Clock::duration RoundTrip() const;
};

// The wait a time-out in seconds stands for: 0 means half a millisecond.
Clock::duration WaitOf(int32_t seconds);

// How long after it was sent a trace gives up on a silent hop once a farther hop has answered
// in `farther`: ten times that round trip (traceroute's factor for a farther hop), but never
// under 50 ms, which a router whose control plane answers 20 ms late still clears (mtr shows
// such routers).
Clock::duration NearWait(Clock::duration farther);

// Sends the probe's echo request (sequence `seq`, the socket's identifier), with time-to-live
// `ttl` unless it is 0, and starts its wait of `wait`. False with WSAGetLastError set when
// the time-to-live could not be set or the send failed.
bool SendProbe(const IcmpSocket& socket, const Destination& to, Probe& probe, uint16_t seq, int ttl,
               Clock::duration wait);

enum class Awaited { Read, TimedOut, ReceiveFailed, Stopped };

// Waits until something arrives or `until` passes, then reads what has arrived without
// waiting and marks each probe of `probes` that an answer settles (each answer settles at
// most one probe, and a settled probe takes no other). Stopped (WSAGetLastError WSAEINTR)
// after Stop or when the wait itself failed; ReceiveFailed when a read of a raw socket
// failed (WSAGetLastError set). `readFrom` is when the reading began: whatever arrived
// before it has been seen.
Awaited Await(const IcmpSocket& socket, const std::vector<Probe*>& probes, Clock::time_point until,
              Clock::time_point* readFrom = nullptr);

// Reads what has arrived on a raw or datagram socket without waiting (a datagram socket's
// error queue first) and settles the probes it answers, each against its own destination.
Awaited ReadArrived(const IcmpSocket& socket, const std::vector<Probe*>& probes);

} // namespace icmpflight
