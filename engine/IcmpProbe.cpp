#include "engine/IcmpProbe.h"

#include "engine/HostRoutines.h"
#include "engine/IcmpFlight.h"

#include <chrono>
#include <cstring>

int SendEcho(const IcmpSocket& socket, tagPACKET& packet, int32_t seconds, int32_t& replyTime) {
    using namespace icmpflight;
    replyTime = -1;
    const Destination to = DestinationOf(packet.Host);
    Probe probe;
    if (!SendProbe(socket, to, probe, uint16_t(packet.Seq), 0, WaitOf(seconds)))
        return -1;
    const std::vector<Probe*> probes{&probe};
    for (;;) {
        Clock::time_point readFrom;
        const Awaited awaited = Await(socket, probes, probe.deadline, &readFrom);
        if (awaited == Awaited::Stopped)
            return -1;
        if (awaited == Awaited::ReceiveFailed) {
            // A receive that fails once the socket was readable ends the wait as an answer.
            probe.arrived = Clock::now();
            break;
        }
        if (probe.answered)
            break;
        if (readFrom >= probe.deadline)
            return 0;
    }
    packet.Reply = probe.reply;
    packet.Source6 = probe.source6;
    packet.SourceScope6 = probe.scope6;
    // Rounded to the nearest millisecond of a steady clock; an arrival stamp read against
    // the wall clock can never make it negative.
    replyTime = int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                            probe.RoundTrip() + std::chrono::microseconds(500))
                            .count());
    return 16;
}

std::string ReplySource(const tagPACKET& packet) {
    if (UsesIPv6(packet.Host))
        return IP6ToStr(packet.Source6, packet.SourceScope6);
    uint32_t source;
    std::memcpy(&source, &packet.Reply[12], 4);
    return IPToStr(source);
}

bool AnsweredByTarget(const tagPACKET& packet) {
    if (UsesIPv6(packet.Host))
        return packet.Source6 == packet.Host.Addresses6.front();
    uint32_t source;
    std::memcpy(&source, &packet.Reply[12], 4);
    return source == packet.Host.Address;
}

TEcho::TEcho(const TagHostEnt& host, int32_t ident, int32_t seq) : TWSAThread(false) {
    FPacket.Host = host;
    FPacket.Ident = ident;
    FPacket.Seq = seq;
}

void TEcho::Execute() {
    FPacket.Status = 0;
    FPacket.ReplyTime = -1;
    if (FWinSockReady) {
        IcmpSocket socket;
        if (!OpenIcmpSocket(socket, UsesIPv6(FPacket.Host) ? AF_INET6 : AF_INET)) {
            FPacket.Status = 2;
            FPacket.Error = winsock::WSAGetLastError();
        } else {
            const int rc = SendEcho(socket, FPacket, FReplyTimeOut, FPacket.ReplyTime);
            FPacket.Status = rc == 16 ? 1 : rc == 0 ? 3 : 2;
            if (rc < 0)
                FPacket.Error = winsock::WSAGetLastError();
            if (!CloseIcmpSocket(socket) && FPacket.Status != 2) {
                FPacket.Status = 2;
                FPacket.Error = winsock::WSAGetLastError();
            }
        }
    }
    if (OnReply)
        RaiseOnMain([this] { OnReply(this, FPacket.Status, FPacket); });
}

void TEcho::Failed(bool noThread, std::exception_ptr error) {
    FPacket.Status = 2;
    FPacket.Error = FailureCode(noThread, error);
    FPacket.ReplyTime = -1;
    if (OnReply)
        RaiseOnMain([this] { OnReply(this, FPacket.Status, FPacket); });
}
