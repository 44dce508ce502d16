#include "engine/IcmpProbe.h"

#include "engine/HostRoutines.h"
#include "platform/Cancel.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> g_accessRefused{false};

enum class Heard { Ours, Nothing, Failed, Stopped };

// One probe's wait: the request that went out, where to, until when, and which answers end it.
struct Awaited {
    const uint8_t* request;
    uint32_t target;
    Clock::time_point deadline;
    bool routeErrors;  // a trace hop: time-exceeded and unreachable messages answer too
    TIn6Addr* source6; // for ICMPv6: where the answer's source goes
};

// Whether a datagram of this kind ends the wait.
bool Answers(icmp::ReplyKind kind, const Awaited& awaited) {
    return kind == icmp::ReplyKind::EchoReply ||
           (awaited.routeErrors && kind != icmp::ReplyKind::Foreign);
}

// Checked after each datagram that is not the answer, so a flood of foreign datagrams cannot
// hold the probe past Stop (`end` Stopped) or past its time-out (`end` Nothing). The first
// read after the wait always happens: an answer that came in time counts.
bool ReadsEnd(const Awaited& awaited, Heard& end) {
    const platform::CancelToken* token = platform::CurrentCancelToken();
    if (token && token->IsCancelled())
        end = Heard::Stopped;
    else if (Clock::now() >= awaited.deadline)
        end = Heard::Nothing;
    else
        return false;
    return true;
}

// When the kernel took the datagram in (SO_TIMESTAMPNS), on the steady clock, so a busy
// machine's late wake-up does not count as reply time; now when the stamp is missing.
Clock::time_point ArrivalOf(msghdr& msg) {
    const auto now = Clock::now();
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS)
            continue;
        timespec stamp, real;
        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        ::clock_gettime(CLOCK_REALTIME, &real);
        const auto lag = std::chrono::seconds(real.tv_sec - stamp.tv_sec) +
                         std::chrono::nanoseconds(real.tv_nsec - stamp.tv_nsec);
        if (lag >= std::chrono::nanoseconds(0) && lag < std::chrono::seconds(1))
            return now - std::chrono::duration_cast<Clock::duration>(lag);
    }
    return now;
}

// Takes the error-queue entries of a datagram socket; Ours when one answers this probe, with
// its kind in `kind`.
Heard ReadErrorQueue(const IcmpSocket& socket, const Awaited& awaited,
                     std::array<uint8_t, icmp::ReplySize>& reply, icmp::ReplyKind& kind,
                     Clock::time_point& arrived) {
    const bool v6 = socket.Family == AF_INET6;
    for (;;) {
        uint8_t original[icmp::ReplySize];
        alignas(cmsghdr) char control[512];
        sockaddr_in6 from{};
        iovec iov{original, sizeof original};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(socket.Handle, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0)
            return Heard::Nothing;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (v6 ? (c->cmsg_level != SOL_IPV6 || c->cmsg_type != IPV6_RECVERR)
                   : (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR))
                continue;
            sock_extended_err err;
            std::memcpy(&err, CMSG_DATA(c), sizeof err);
            if (err.ee_origin != (v6 ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP))
                continue;
            const auto* offenderAt =
                SO_EE_OFFENDER(reinterpret_cast<sock_extended_err*>(CMSG_DATA(c)));
            if (v6) {
                const auto m =
                    icmp::MatchQueuedError6(err.ee_type, original, size_t(n), awaited.request);
                if (!Answers(m.kind, awaited))
                    continue;
                sockaddr_in6 offender;
                std::memcpy(&offender, offenderAt, sizeof offender);
                icmp::LayOutQueuedError6(err.ee_type, err.ee_code, original, size_t(n), reply);
                std::memcpy(awaited.source6->data(), &offender.sin6_addr, 16);
                kind = m.kind;
                arrived = ArrivalOf(msg);
                return Heard::Ours;
            }
            sockaddr_in offender;
            std::memcpy(&offender, offenderAt, sizeof offender);
            const auto m =
                icmp::MatchQueuedError(err.ee_type, err.ee_code, offender.sin_addr.s_addr, original,
                                       size_t(n), awaited.request);
            if (Answers(m.kind, awaited)) {
                icmp::LayOutQueuedError(err.ee_type, err.ee_code, m.source, awaited.target,
                                        original, size_t(n), reply);
                kind = m.kind;
                arrived = ArrivalOf(msg);
                return Heard::Ours;
            }
        }
        if (Heard end; ReadsEnd(awaited, end))
            return end;
    }
}

// Reads what has arrived without waiting: Ours when a datagram answers this probe, Nothing
// when only foreign ones (or none) were there or the time is up, Failed when a receive
// failed, Stopped after Stop.
Heard ReadArrived(const IcmpSocket& socket, const Awaited& awaited,
                  std::array<uint8_t, icmp::ReplySize>& reply, icmp::ReplyKind& kind,
                  Clock::time_point& arrived) {
    if (socket.Datagram) {
        const Heard queued = ReadErrorQueue(socket, awaited, reply, kind, arrived);
        if (queued != Heard::Nothing)
            return queued;
    }
    for (;;) {
        uint8_t buffer[icmp::ReplySize];
        sockaddr_in6 from{}; // large enough for either family
        alignas(cmsghdr) char control[128];
        iovec iov{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        ssize_t n = ::recvmsg(socket.Handle, &msg, MSG_DONTWAIT);
        if (n > ssize_t(sizeof buffer))
            n = sizeof buffer;
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return Heard::Nothing;
            // A datagram socket also reports a queued ICMP error here; the queue has it.
            if (!socket.Datagram) {
                winsock::WSASetLastError(winsock::ErrnoToWinSock(errno));
                return Heard::Failed;
            }
        } else if (socket.Family == AF_INET6) {
            const auto m = socket.Datagram
                               ? icmp::MatchDatagramReply6(buffer, size_t(n), awaited.request)
                               : icmp::MatchRawReply6(buffer, size_t(n), awaited.request);
            if (Answers(m.kind, awaited)) {
                reply.fill(0);
                std::memcpy(reply.data(), buffer, size_t(n));
                std::memcpy(awaited.source6->data(), &from.sin6_addr, 16);
                kind = m.kind;
                arrived = ArrivalOf(msg);
                return Heard::Ours;
            }
        } else if (socket.Datagram) {
            const uint32_t source = reinterpret_cast<const sockaddr_in&>(from).sin_addr.s_addr;
            const auto m = icmp::MatchDatagramReply(buffer, size_t(n), source, awaited.request);
            if (Answers(m.kind, awaited)) {
                icmp::LayOutAsRaw(m.source, 0, buffer, size_t(n), reply);
                kind = m.kind;
                arrived = ArrivalOf(msg);
                return Heard::Ours;
            }
        } else if (const auto m = icmp::MatchRawReply(buffer, size_t(n), awaited.request);
                   Answers(m.kind, awaited)) {
            reply.fill(0);
            std::memcpy(reply.data(), buffer, size_t(n));
            kind = m.kind;
            arrived = ArrivalOf(msg);
            return Heard::Ours;
        }
        if (Heard end; ReadsEnd(awaited, end))
            return end;
    }
}

// Waits until this probe's answer arrives or the deadline passes; other datagrams are read
// and dropped on the way. 1 answer (with its arrival in `at`), 0 time-out, -1 failure or Stop.
int ReceiveReply(const IcmpSocket& socket, const Awaited& awaited,
                 std::array<uint8_t, icmp::ReplySize>& reply, icmp::ReplyKind& kind,
                 Clock::time_point& at) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(awaited.deadline - Clock::now());
        pollfd p{socket.Handle, POLLIN, 0};
        const int rc = platform::PollCancellable(
            &p, 1, left.count() > 0 ? left : std::chrono::microseconds(0));
        if (rc < 0) {
            winsock::WSASetLastError(winsock::ErrnoToWinSock(errno));
            return -1;
        }
        if (rc == 0)
            return 0;
        at = Clock::now();
        switch (ReadArrived(socket, awaited, reply, kind, at)) {
        case Heard::Stopped:
            winsock::WSASetLastError(winsock::WSAEINTR);
            return -1;
        case Heard::Nothing:
            if (Clock::now() >= awaited.deadline)
                return 0;
            break;
        default:
            // A receive that fails once the socket was readable still ends the wait as an
            // answer.
            return 1;
        }
    }
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

int SendEcho(const IcmpSocket& socket, tagPACKET& packet, int32_t seconds, int32_t& replyTime,
             icmp::ReplyKind* routeAnswer) {
    replyTime = -1;
    const bool v6 = socket.Family == AF_INET6;
    const auto request = v6 ? icmp::BuildEchoRequest6(uint32_t(packet.Ident), uint32_t(packet.Seq))
                            : icmp::BuildEchoRequest(uint32_t(packet.Ident), uint32_t(packet.Seq));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = packet.Host.Address;
    sockaddr_in6 to6{};
    to6.sin6_family = AF_INET6;
    if (v6 && !packet.Host.Addresses6.empty())
        std::memcpy(&to6.sin6_addr, packet.Host.Addresses6.front().data(), 16);
    const auto* address =
        v6 ? reinterpret_cast<const sockaddr*>(&to6) : reinterpret_cast<const sockaddr*>(&to);
    const auto sent = Clock::now();
    if (winsock::sendto(socket.Handle, reinterpret_cast<const char*>(request.data()),
                        int(request.size()), 0, address,
                        v6 ? int(sizeof to6) : int(sizeof to)) == winsock::SOCKET_ERROR)
        return -1;
    const auto wait = seconds > 0 ? std::chrono::microseconds(std::chrono::seconds(seconds))
                                  : std::chrono::microseconds(500);
    const Awaited awaited{request.data(), packet.Host.Address, sent + wait, routeAnswer != nullptr,
                          &packet.Source6};
    Clock::time_point at;
    icmp::ReplyKind kind = icmp::ReplyKind::Foreign;
    const int rc = ReceiveReply(socket, awaited, packet.Reply, kind, at);
    if (rc <= 0)
        return rc;
    if (routeAnswer)
        *routeAnswer = kind;
    // Rounded to the nearest millisecond of a steady clock; an arrival stamp read against
    // the wall clock can never make it negative.
    const auto elapsed = std::max(at - sent, Clock::duration::zero());
    replyTime = int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                            elapsed + std::chrono::microseconds(500))
                            .count());
    return 16;
}

std::string ReplySource(const tagPACKET& packet) {
    if (UsesIPv6(packet.Host))
        return IP6ToStr(packet.Source6);
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
        } else {
            const int rc = SendEcho(socket, FPacket, FReplyTimeOut, FPacket.ReplyTime);
            FPacket.Status = rc == 16 ? 1 : rc == 0 ? 3 : 2;
            if (winsock::closesocket(socket.Handle) == winsock::SOCKET_ERROR)
                FPacket.Status = 2;
        }
    }
    if (OnReply)
        RaiseOnMain([this] { OnReply(this, FPacket.Status, FPacket); });
}

void TEcho::Failed(bool, std::exception_ptr) {
    FPacket.Status = 2;
    FPacket.ReplyTime = -1;
    if (OnReply)
        RaiseOnMain([this] { OnReply(this, FPacket.Status, FPacket); });
}

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
    const bool v6 = UsesIPv6(FPacket.Host);
    if (!OpenIcmpSocket(socket, v6 ? AF_INET6 : AF_INET)) {
        FPacket.Status = 2;
        return;
    }
    for (int32_t ttl = 1; ttl <= 255; ++ttl) {
        if (Terminated())
            break;
        if (winsock::setsockopt(socket.Handle,
                                v6 ? winsock::WS_IPPROTO_IPV6 : winsock::WS_IPPROTO_IP,
                                v6 ? winsock::WS_IPV6_UNICAST_HOPS : winsock::WS_IP_TTL,
                                reinterpret_cast<const char*>(&ttl), 4) != 0) {
            FPacket.Status = 2;
            break;
        }
        FPacket.Seq = ttl;
        icmp::ReplyKind answer = icmp::ReplyKind::Foreign;
        const int rc = SendEcho(socket, FPacket, FReplyTimeOut, FPacket.ReplyTime, &answer);
        if (rc == -1) {
            FPacket.Status = 2;
            break;
        }
        FPacket.Status = rc == 0 ? 3 : answer == icmp::ReplyKind::Unreachable ? 4 : 1;
        ++FPacket.Ident;
        FHopsReported = ttl;
        if (OnHop && !RaiseOnMain([this, ttl] { OnHop(this, ttl, FPacket); }))
            break;
        // Nothing lies beyond a hop that says the target cannot be reached.
        if (FPacket.Status == 4 || (FPacket.Status == 1 && AnsweredByTarget(FPacket)))
            break;
    }
    winsock::closesocket(socket.Handle);
}

void TTrace::Failed(bool, std::exception_ptr) {
    const int32_t hop = FHopsReported + 1;
    FPacket.Seq = hop;
    FPacket.Status = 2;
    FPacket.ReplyTime = -1;
    if (OnHop)
        RaiseOnMain([this, hop] { OnHop(this, hop, FPacket); });
}
