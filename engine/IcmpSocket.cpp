#include "engine/IcmpSocket.h"

#include "engine/IcmpPacket.h"
#include "engine/ProbeHelper.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>

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

bool OpenRawIcmpSocket(IcmpSocket& socket, int family) {
    socket = IcmpSocket{};
    socket.Family = family;
    const int protocol = family == AF_INET6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    socket.Handle = winsock::socket(family, SOCK_RAW, protocol);
    if (socket.Handle == winsock::INVALID_SOCKET)
        return false;
    // Arrival stamps are a refinement; without them the wake-up time stands.
    const int on = 1;
    ::setsockopt(socket.Handle, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    FilterRawTypes(socket.Handle, family);
    socket.Reservation = ReserveIdent(socket.WireIdent);
    return true;
}

bool OpenIcmpSocket(IcmpSocket& socket, int family) {
    if (OpenRawIcmpSocket(socket, family)) {
        g_accessRefused = false;
        return true;
    }
    const bool v6 = family == AF_INET6;
    const int protocol = v6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    const int on = 1;
    const int rawError = winsock::WSAGetLastError();
    socket.Handle = winsock::socket(family, SOCK_DGRAM, protocol);
    if (socket.Handle == winsock::INVALID_SOCKET) {
        const int dgramError = winsock::WSAGetLastError();
        const bool refused = rawError == winsock::WSAEACCES && dgramError == winsock::WSAEACCES;
        // Neither kind is allowed to this program: the helper may hold the right.
        if (refused) {
            int helperError = 0;
            socket.Helper = ProbeHelper::Start(family, helperError);
            if (socket.Helper) {
                g_accessRefused = false;
                return true;
            }
            // Stop while the helper started is no refusal.
            if (helperError == winsock::WSAEINTR) {
                g_accessRefused = false;
                winsock::WSASetLastError(helperError);
                return false;
            }
        }
        g_accessRefused = refused;
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
    return "ICMP sockets are refused: run \"setcap cap_net_raw+ep\" on the probe helper "
           "zindor-probe, or widen net.ipv4.ping_group_range to include your group.";
}

bool CloseIcmpSocket(IcmpSocket& socket) {
    if (socket.Helper) {
        socket.Helper.reset();
        return true;
    }
    const bool closed = winsock::closesocket(socket.Handle) != winsock::SOCKET_ERROR;
    if (socket.Reservation >= 0)
        ::close(socket.Reservation);
    socket.Handle = winsock::INVALID_SOCKET;
    socket.Reservation = -1;
    return closed;
}
