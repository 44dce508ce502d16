#include "engine/IcmpFlight.h"

#include "engine/ProbeHelper.h"
#include "platform/Cancel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <linux/errqueue.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace icmpflight {

namespace {

// Datagrams read per wake-up at most, so a flood of foreign ones cannot hold the caller past
// Stop or past a deadline.
constexpr int ReadsPerWake = 64;

bool Answers(icmp::ReplyKind kind, const Probe& probe) {
    return kind == icmp::ReplyKind::EchoReply ||
           (probe.routeErrors && kind != icmp::ReplyKind::Foreign);
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

// The first unsettled probe that `match` (probe -> ReplyMatch) says this datagram answers.
template <typename Match>
Probe* Claim(const std::vector<Probe*>& probes, Match match, icmp::ReplyKind& kind) {
    for (Probe* probe : probes) {
        if (probe->Settled())
            continue;
        const icmp::ReplyMatch m = match(*probe);
        if (Answers(m.kind, *probe)) {
            kind = m.kind;
            return probe;
        }
    }
    return nullptr;
}

void Settle(Probe& probe, icmp::ReplyKind kind, msghdr& msg) {
    probe.answered = true;
    probe.kind = kind;
    probe.arrived = ArrivalOf(msg);
}

struct Message {
    uint8_t bytes[icmp::ReplySize];
    sockaddr_in6 from{}; // large enough for either family
    alignas(cmsghdr) char control[512];
    iovec iov{};
    msghdr msg{};

    ssize_t Receive(int handle, int flags) {
        iov = {bytes, sizeof bytes};
        msg = msghdr{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        return ::recvmsg(handle, &msg, flags | MSG_DONTWAIT);
    }
    uint32_t From4() const { return reinterpret_cast<const sockaddr_in&>(from).sin_addr.s_addr; }
    const uint8_t* From6() const { return from.sin6_addr.s6_addr; }
};

// One error-queue entry of a datagram socket: the request the kernel kept, the address it was
// sent to (msg_name) and the ICMP error with its sender.
void TakeQueuedError(const IcmpSocket& socket, const std::vector<Probe*>& probes, Message& m,
                     size_t n) {
    const bool v6 = socket.Family == AF_INET6;
    for (cmsghdr* c = CMSG_FIRSTHDR(&m.msg); c; c = CMSG_NXTHDR(&m.msg, c)) {
        if (v6 ? (c->cmsg_level != SOL_IPV6 || c->cmsg_type != IPV6_RECVERR)
               : (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR))
            continue;
        sock_extended_err err;
        std::memcpy(&err, CMSG_DATA(c), sizeof err);
        if (err.ee_origin != (v6 ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP))
            continue;
        const auto* offenderAt = SO_EE_OFFENDER(reinterpret_cast<sock_extended_err*>(CMSG_DATA(c)));
        icmp::ReplyKind kind;
        if (v6) {
            Probe* probe = Claim(
                probes,
                [&](const Probe& p) {
                    return icmp::MatchQueuedError6(err.ee_type, m.bytes, n, p.request.data(),
                                                   m.From6(), p.to.address6.data());
                },
                kind);
            if (!probe)
                continue;
            sockaddr_in6 offender;
            std::memcpy(&offender, offenderAt, sizeof offender);
            icmp::LayOutQueuedError6(err.ee_type, err.ee_code, probe->to.address6.data(), m.bytes,
                                     n, probe->reply);
            std::memcpy(probe->source6.data(), &offender.sin6_addr, 16);
            probe->scope6 = offender.sin6_scope_id;
            Settle(*probe, kind, m.msg);
            return;
        }
        sockaddr_in offender;
        std::memcpy(&offender, offenderAt, sizeof offender);
        Probe* probe = Claim(
            probes,
            [&](const Probe& p) {
                return icmp::MatchQueuedError(err.ee_type, err.ee_code, offender.sin_addr.s_addr,
                                              m.bytes, n, p.request.data(), m.From4(), p.to.v4);
            },
            kind);
        if (!probe)
            continue;
        icmp::LayOutQueuedError(err.ee_type, err.ee_code, offender.sin_addr.s_addr, probe->to.v4,
                                m.bytes, n, probe->reply);
        Settle(*probe, kind, m.msg);
        return;
    }
}

// One datagram as the socket delivers it.
void TakeDatagram(const IcmpSocket& socket, const std::vector<Probe*>& probes, Message& m,
                  size_t n) {
    icmp::ReplyKind kind;
    if (socket.Family == AF_INET6) {
        Probe* probe = Claim(
            probes,
            [&](const Probe& p) {
                return socket.Datagram ? icmp::MatchDatagramReply6(m.bytes, n, p.request.data(),
                                                                   m.From6(), p.to.address6.data())
                                       : icmp::MatchRawReply6(m.bytes, n, p.request.data(),
                                                              m.From6(), p.to.address6.data());
            },
            kind);
        if (!probe)
            return;
        probe->reply.fill(0);
        std::memcpy(probe->reply.data(), m.bytes, n);
        std::memcpy(probe->source6.data(), m.From6(), 16);
        probe->scope6 = m.from.sin6_scope_id;
        Settle(*probe, kind, m.msg);
        return;
    }
    if (socket.Datagram) {
        Probe* probe = Claim(
            probes,
            [&](const Probe& p) {
                return icmp::MatchDatagramReply(m.bytes, n, m.From4(), p.request.data(), p.to.v4);
            },
            kind);
        if (!probe)
            return;
        icmp::LayOutAsRaw(m.From4(), 0, m.bytes, n, probe->reply);
        Settle(*probe, kind, m.msg);
        return;
    }
    Probe* probe = Claim(
        probes,
        [&](const Probe& p) { return icmp::MatchRawReply(m.bytes, n, p.request.data(), p.to.v4); },
        kind);
    if (!probe)
        return;
    probe->reply.fill(0);
    std::memcpy(probe->reply.data(), m.bytes, n);
    Settle(*probe, kind, m.msg);
}

} // namespace

Awaited ReadArrived(const IcmpSocket& socket, const std::vector<Probe*>& probes) {
    Message m;
    if (socket.Datagram) {
        for (int k = 0; k < ReadsPerWake; ++k) {
            const ssize_t n = m.Receive(socket.Handle, MSG_ERRQUEUE);
            if (n < 0)
                break;
            TakeQueuedError(socket, probes, m, size_t(n));
        }
    }
    for (int k = 0; k < ReadsPerWake; ++k) {
        const ssize_t n = m.Receive(socket.Handle, 0);
        if (n >= 0) {
            TakeDatagram(socket, probes, m, std::min(size_t(n), sizeof m.bytes));
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            break;
        // A datagram socket also reports a queued ICMP error here; the queue has it.
        if (!socket.Datagram) {
            winsock::WSASetLastError(winsock::ErrnoToWinSock(errno));
            return Awaited::ReceiveFailed;
        }
        break;
    }
    return Awaited::Read;
}

Destination DestinationOf(const TagHostEnt& host) {
    Destination to;
    to.v6 = host.Address == 0 && !host.Addresses6.empty();
    to.v4 = host.Address;
    if (to.v6) {
        to.address6 = host.Addresses6.front();
        to.scope6 = host.Scope6;
    }
    return to;
}

Clock::duration Probe::RoundTrip() const {
    return std::max(arrived - sent, Clock::duration::zero());
}

Clock::duration WaitOf(int32_t seconds) {
    return seconds > 0 ? Clock::duration(std::chrono::seconds(seconds))
                       : Clock::duration(std::chrono::microseconds(500));
}

Clock::duration NearWait(Clock::duration farther) {
    constexpr int Factor = 10;
    constexpr Clock::duration Floor = std::chrono::milliseconds(50);
    return std::max<Clock::duration>(farther * Factor, Floor);
}

bool SendProbe(const IcmpSocket& socket, const Destination& to, Probe& probe, uint16_t seq, int ttl,
               Clock::duration wait) {
    probe.to = to;
    if (socket.Helper)
        return socket.Helper->Send(probe, ttl, wait);
    probe.request = to.v6 ? icmp::BuildEchoRequest6(socket.WireIdent, seq)
                          : icmp::BuildEchoRequest(socket.WireIdent, seq);
    if (ttl > 0 && winsock::setsockopt(socket.Handle,
                                       to.v6 ? winsock::WS_IPPROTO_IPV6 : winsock::WS_IPPROTO_IP,
                                       to.v6 ? winsock::WS_IPV6_UNICAST_HOPS : winsock::WS_IP_TTL,
                                       reinterpret_cast<const char*>(&ttl), 4) != 0)
        return false;
    sockaddr_in to4{};
    to4.sin_family = AF_INET;
    to4.sin_addr.s_addr = to.v4;
    sockaddr_in6 to6{};
    to6.sin6_family = AF_INET6;
    std::memcpy(&to6.sin6_addr, to.address6.data(), 16);
    to6.sin6_scope_id = to.scope6;
    const auto* address =
        to.v6 ? reinterpret_cast<const sockaddr*>(&to6) : reinterpret_cast<const sockaddr*>(&to4);
    // A datagram socket reports an earlier probe's ICMP error once more as the failure of
    // the next send (the error queue holds the message itself); that report clears it, so
    // only a send that fails again, or one of a raw socket, has really failed.
    for (int attempt = 0;; ++attempt) {
        probe.sent = Clock::now();
        probe.deadline = probe.sent + wait;
        if (winsock::sendto(socket.Handle, reinterpret_cast<const char*>(probe.request.data()),
                            int(probe.request.size()), 0, address,
                            to.v6 ? int(sizeof to6) : int(sizeof to4)) != winsock::SOCKET_ERROR)
            return true;
        if (!socket.Datagram || attempt == 3)
            return false;
    }
}

Awaited Await(const IcmpSocket& socket, const std::vector<Probe*>& probes, Clock::time_point until,
              Clock::time_point* readFrom) {
    if (socket.Helper)
        return socket.Helper->Await(probes, until, readFrom);
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - Clock::now());
    pollfd p{socket.Handle, short(POLLIN | (socket.Datagram ? POLLERR : 0)), 0};
    const int rc =
        platform::PollCancellable(&p, 1, left.count() > 0 ? left : std::chrono::microseconds(0));
    if (rc < 0) {
        winsock::WSASetLastError(errno == EINTR ? winsock::WSAEINTR
                                                : winsock::ErrnoToWinSock(errno));
        return Awaited::Stopped;
    }
    if (readFrom)
        *readFrom = Clock::now();
    if (rc == 0)
        return Awaited::TimedOut;
    const Awaited read = ReadArrived(socket, probes);
    const platform::CancelToken* token = platform::CurrentCancelToken();
    if (token && token->IsCancelled()) {
        winsock::WSASetLastError(winsock::WSAEINTR);
        return Awaited::Stopped;
    }
    return read;
}

} // namespace icmpflight
