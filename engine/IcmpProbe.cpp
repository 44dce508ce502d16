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

TraceHop ReadHop(int32_t ttl, const tagPACKET& packet) {
    TraceHop hop;
    hop.ttl = ttl;
    if (packet.Status == 2) {
        hop.status = HopStatus::SendError;
        hop.error = packet.Error;
        return hop;
    }
    if (packet.Status == 3 || packet.ReplyMicros < 0)
        return hop;
    hop.address = ReplySource(packet);
    hop.ms = packet.ReplyMicros / 1000.0;
    hop.reached = AnsweredByTarget(packet);
    if (packet.Kind == icmp::ReplyKind::Unreachable) {
        // The code: ICMPv6's second byte; ICMP's after the IPv4 header it came with.
        const bool v6 = UsesIPv6(packet.Host);
        const size_t at = v6 ? 1 : size_t(packet.Reply[0] & 0x0F) * 4 + 1;
        const uint8_t code = packet.Reply[at];
        if (v6)
            hop.status = code == 0   ? HopStatus::NetUnreachable
                         : code == 1 ? HopStatus::Prohibited
                         : code == 3 ? HopStatus::HostUnreachable
                         : code == 4 ? HopStatus::PortUnreachable
                                     : HopStatus::Unreachable;
        else
            hop.status = code == 0 || code == 6                  ? HopStatus::NetUnreachable
                         : code == 1 || code == 7                ? HopStatus::HostUnreachable
                         : code == 3                             ? HopStatus::PortUnreachable
                         : code == 9 || code == 10 || code == 13 ? HopStatus::Prohibited
                                                                 : HopStatus::Unreachable;
    } else {
        hop.status = hop.reached ? HopStatus::Reply : HopStatus::TimeExceeded;
    }
    return hop;
}

const char* HopStatusName(HopStatus status) {
    switch (status) {
    case HopStatus::Reply:
        return "reply";
    case HopStatus::TimeExceeded:
        return "time-exceeded";
    case HopStatus::NetUnreachable:
        return "net-unreachable";
    case HopStatus::HostUnreachable:
        return "host-unreachable";
    case HopStatus::PortUnreachable:
        return "port-unreachable";
    case HopStatus::Prohibited:
        return "prohibited";
    case HopStatus::Unreachable:
        return "unreachable";
    case HopStatus::TimedOut:
        return "time-out";
    case HopStatus::SendError:
        return "send-error";
    }
    return "";
}

const char* HopStatusMark(HopStatus status) {
    switch (status) {
    case HopStatus::NetUnreachable:
        return "!N";
    case HopStatus::HostUnreachable:
        return "!H";
    case HopStatus::PortUnreachable:
        return "!P";
    case HopStatus::Prohibited:
        return "!X";
    case HopStatus::Unreachable:
        return "!";
    default:
        return "";
    }
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
