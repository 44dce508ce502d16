// The trace worker: several hops' probes in flight at once, the hops reported in TTL order.
#include "engine/HostRoutines.h"
#include "engine/IcmpFlight.h"
#include "engine/IcmpProbe.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace {

using namespace icmpflight;

// Whether the hop's answer ends the trace: an unreachable message, or the target itself.
bool EndsTrace(const Probe& hop, const Destination& to) {
    if (!hop.answered)
        return false;
    if (hop.kind == icmp::ReplyKind::Unreachable)
        return true;
    if (to.v6)
        return hop.source6 == to.address6;
    return std::memcmp(&hop.reply[12], &to.v4, 4) == 0;
}

} // namespace

TTrace::TTrace(const TagHostEnt& host) : TWSAThread(false) {
    FPacket.Host = host;
    FPacket.Ident = 512;
    FPacket.Seq = 0;
}

void TTrace::Execute() {
    FPacket.Status = 0;
    if (!FWinSockReady)
        return;
    IcmpSocket socket;
    const Destination to = DestinationOf(FPacket.Host);
    if (!OpenIcmpSocket(socket, to.v6 ? AF_INET6 : AF_INET)) {
        FPacket.Status = 2;
        FPacket.Error = winsock::WSAGetLastError();
        return;
    }
    const int maxHops = std::clamp(FMaxHops, 1, 255);
    const Clock::duration wait = WaitOf(FReplyTimeOut);
    // Index: the TTL. Hops past `last` are not wanted: the trace ends there at the latest.
    std::vector<Probe> hops(size_t(maxHops) + 1);
    int sent = 0, next = 1, last = maxHops;
    bool failed = false;
    // The hop whose probe could not be sent (0: none) and why: it is the trace's last row.
    int unsent = 0;
    int32_t unsentError = 0;
    for (;;) {
        if (Terminated())
            break;
        while (!failed && sent < last && sent + 1 < next + TraceWindow) {
            Probe& hop = hops[size_t(sent + 1)];
            hop.routeErrors = true;
            if (!SendProbe(socket, to, hop, uint16_t(sent + 1), sent + 1, wait)) {
                // As a trace of one probe at a time: the hops below are still reported, then
                // this one as failed with its reason; none beyond.
                failed = true;
                unsent = last = sent + 1;
                unsentError = winsock::WSAGetLastError();
                hop.expired = true;
                break;
            }
            ++sent;
        }
        // Report every settled hop in order; a hop that ends the trace is the last.
        bool stop = false;
        while ((next <= sent || next == unsent) && next <= last && hops[size_t(next)].Settled()) {
            const Probe& hop = hops[size_t(next)];
            FPacket.Seq = next;
            FPacket.Ident = 512 + next - 1;
            FPacket.Status = next == unsent                             ? 2
                             : hop.expired                              ? 3
                             : hop.kind == icmp::ReplyKind::Unreachable ? 4
                                                                        : 1;
            if (next == unsent)
                FPacket.Error = unsentError;
            FPacket.ReplyTime = hop.expired
                                    ? -1
                                    : int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  hop.RoundTrip() + std::chrono::microseconds(500))
                                                  .count());
            FPacket.ReplyMicros =
                hop.expired
                    ? -1
                    : int32_t(std::chrono::duration_cast<std::chrono::microseconds>(hop.RoundTrip())
                                  .count());
            FPacket.Kind = hop.kind;
            FPacket.Reply = hop.reply;
            FPacket.Source6 = hop.source6;
            FPacket.SourceScope6 = hop.scope6;
            const int32_t ttl = next;
            FHopsReported = ttl;
            if (OnHop && !RaiseOnMain([this, ttl] { OnHop(this, ttl, FPacket); })) {
                stop = true;
                break;
            }
            ++next;
            if (EndsTrace(hop, to)) {
                last = ttl;
                break;
            }
        }
        if (stop || next > last)
            break;
        // Wait for the nearest deadline among the hops in flight.
        std::vector<Probe*> flying;
        auto until = Clock::time_point::max();
        for (int ttl = next; ttl <= sent; ++ttl) {
            Probe& hop = hops[size_t(ttl)];
            if (!hop.Settled()) {
                flying.push_back(&hop);
                until = std::min(until, hop.deadline);
            }
        }
        if (flying.empty())
            continue;
        Clock::time_point readFrom;
        const Awaited awaited = Await(socket, flying, until, &readFrom);
        if (awaited == Awaited::Stopped || awaited == Awaited::ReceiveFailed) {
            failed = awaited == Awaited::ReceiveFailed;
            FPacket.Error = winsock::WSAGetLastError();
            break;
        }
        // A farther hop's answer shortens the wait of every silent hop below it. Taken from
        // the nearest answered hop above, as that answer's path is the most like theirs. No
        // hop is wanted past one whose answer ends the trace.
        Clock::duration farther = Clock::duration::max();
        for (int ttl = sent; ttl >= next; --ttl) {
            Probe& hop = hops[size_t(ttl)];
            if (EndsTrace(hop, to))
                last = std::min(last, ttl);
            if (hop.answered) {
                farther = hop.RoundTrip();
            } else if (!hop.Settled() && farther != Clock::duration::max()) {
                hop.deadline = std::min(hop.deadline, hop.sent + NearWait(farther));
            }
        }
        // Everything that arrived before the reading began has been seen: a hop whose deadline
        // had passed by then has no answer.
        for (Probe* hop : flying)
            if (!hop->Settled() && hop->deadline <= readFrom)
                hop->expired = true;
    }
    if (failed)
        FPacket.Status = 2;
    CloseIcmpSocket(socket);
}

void TTrace::Failed(bool noThread, std::exception_ptr error) {
    const int32_t hop = FHopsReported + 1;
    FPacket.Seq = hop;
    FPacket.Status = 2;
    FPacket.Error = FailureCode(noThread, error);
    FPacket.ReplyTime = -1;
    FPacket.ReplyMicros = -1;
    if (OnHop)
        RaiseOnMain([this, hop] { OnHop(this, hop, FPacket); });
}
