#pragma once

// The probes' ICMP socket: a raw socket, else the kernel's unprivileged ICMP datagram socket,
// else a connection to zindor-probe, the small helper that alone holds CAP_NET_RAW where an
// administrator gave it and ping_group_range leaves datagram sockets off.
#include "platform/WinSock.h"

#include <cstdint>
#include <memory>

#include <sys/socket.h>

class ProbeHelper;

struct IcmpSocket {
    winsock::SOCKET Handle = winsock::INVALID_SOCKET;
    bool Datagram = false;
    int Family = AF_INET; // AF_INET6: an ICMPv6 socket
    // The identifier every request of this socket carries. A datagram socket's is the
    // kernel's; a raw socket's is held against this program's other probing processes by
    // `Reservation` for as long as the socket lives.
    uint16_t WireIdent = 0;
    int Reservation = -1;
    // Set instead of Handle when the probes go through the helper.
    std::shared_ptr<ProbeHelper> Helper;
};

// Opens a raw socket (filtered to the ICMP types a probe can use), else a datagram socket
// with IP_RECVERR or IPV6_RECVERR (the route's errors arrive on its error queue), else the
// helper, for ICMP (AF_INET) or ICMPv6 (AF_INET6). False with WSAGetLastError set when none
// can be had.
bool OpenIcmpSocket(IcmpSocket& socket, int family = AF_INET);
// A raw socket only: the helper's own, opened before it gives up its capability.
bool OpenRawIcmpSocket(IcmpSocket& socket, int family);
// Closes the socket (or ends the helper) and gives its identifier back; false when closing
// failed.
bool CloseIcmpSocket(IcmpSocket& socket);
// Whether the last socket that could not be opened was refused for lack of rights (no
// CAP_NET_RAW, a ping_group_range without this group, no working helper), so the user can
// be told once.
bool IcmpAccessRefused();
// What to do about it, in one sentence for the user.
const char* IcmpAccessAdvice();
