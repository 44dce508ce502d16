#include "engine/IcmpProbe.h"

#include "engine/HostRoutines.h"
#include "engine/IcmpFlight.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_accessRefused{false};

// A raw socket sees every echo reply that reaches the host, so two probing processes that
// used the same identifier would take each other's replies. Each raw socket's identifier is
// therefore held by binding an abstract local socket named after it for as long as the probe
// socket lives; abstract names belong to the network namespace, as does what a raw socket
// sees. Returns the holding descriptor, or -1 when no name could be bound (the identifier
// then goes out unheld; the target check still keeps other hosts' replies out).
int ReserveIdent(uint16_t& ident) {
    // Spread the starting points of processes over the 16-bit space.
    static std::atomic<uint32_t> next{uint32_t(::getpid()) * 2654435761u >> 16};
    for (int tries = 0; tries < 65536; ++tries) {
        const auto candidate = uint16_t(next.fetch_add(1));
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            ident = candidate;
            return -1;
        }
        sockaddr_un name{};
        name.sun_family = AF_UNIX;
        // sun_path[0] stays 0: an abstract name, gone with the descriptor.
        const int length = std::snprintf(name.sun_path + 1, sizeof name.sun_path - 1,
                                         "zindor-icmp-%04x", unsigned(candidate));
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&name),
                   socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(length))) == 0) {
            ident = candidate;
            return fd;
        }
        const int error = errno;
        ::close(fd);
        if (error != EADDRINUSE) {
            ident = candidate;
            return -1;
        }
    }
    ident = uint16_t(next.load());
    return -1;
}

// Only the types a probe can use wake the read loop: neighbour discovery, multicast listener
// reports and other programs' requests stay in the kernel. A refinement: without it the
// matchers still drop them.
void FilterRawTypes(int handle, int family) {
    if (family == AF_INET6) {
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        ICMP6_FILTER_SETPASS(icmp::Type6EchoReply, &filter);
        ICMP6_FILTER_SETPASS(icmp::Type6TimeExceeded, &filter);
        ICMP6_FILTER_SETPASS(icmp::Type6Unreachable, &filter);
        ::setsockopt(handle, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
        return;
    }
    icmp_filter filter;
    // Set bits are the types dropped.
    filter.data = ~((1u << icmp::TypeEchoReply) | (1u << icmp::TypeUnreachable) |
                    (1u << icmp::TypeTimeExceeded));
    ::setsockopt(handle, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
}

} // namespace

bool OpenIcmpSocket(IcmpSocket& socket, int family) {
    socket = IcmpSocket{};
    socket.Family = family;
    const bool v6 = family == AF_INET6;
    const int protocol = v6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    const int on = 1;
    socket.Handle = winsock::socket(family, SOCK_RAW, protocol);
    if (socket.Handle != winsock::INVALID_SOCKET) {
        g_accessRefused = false;
        // Arrival stamps are a refinement; without them the wake-up time stands.
        ::setsockopt(socket.Handle, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        FilterRawTypes(socket.Handle, family);
        socket.Reservation = ReserveIdent(socket.WireIdent);
        return true;
    }
    const int rawError = winsock::WSAGetLastError();
    socket.Handle = winsock::socket(family, SOCK_DGRAM, protocol);
    if (socket.Handle == winsock::INVALID_SOCKET) {
        const int dgramError = winsock::WSAGetLastError();
        g_accessRefused = rawError == winsock::WSAEACCES && dgramError == winsock::WSAEACCES;
        winsock::WSASetLastError(rawError);
        return false;
    }
    socket.Datagram = true;
    ::setsockopt(socket.Handle, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    if ((v6 ? ::setsockopt(socket.Handle, SOL_IPV6, IPV6_RECVERR, &on, sizeof on)
            : ::setsockopt(socket.Handle, SOL_IP, IP_RECVERR, &on, sizeof on)) != 0) {
        winsock::WSASetLastError(winsock::ErrnoToWinSock(errno));
        winsock::closesocket(socket.Handle);
        socket.Handle = winsock::INVALID_SOCKET;
        return false;
    }
    g_accessRefused = false;
    return true;
}

bool IcmpAccessRefused() {
    return g_accessRefused;
}

const char* IcmpAccessAdvice() {
    return "ICMP sockets are refused: run \"setcap cap_net_raw+ep\" on the program, or widen "
           "net.ipv4.ping_group_range to include your group.";
}

bool CloseIcmpSocket(IcmpSocket& socket) {
    const bool closed = winsock::closesocket(socket.Handle) != winsock::SOCKET_ERROR;
    if (socket.Reservation >= 0)
        ::close(socket.Reservation);
    socket.Handle = winsock::INVALID_SOCKET;
    socket.Reservation = -1;
    return closed;
}

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
        const Awaited awaited = Await(socket, to, probes, probe.deadline, &readFrom);
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
