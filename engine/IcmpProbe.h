#pragma once

// The ICMP probe workers: one echo (TEcho) and a trace with a rising time-to-live (TTrace).
#include "engine/EngineTypes.h"
#include "engine/IcmpPacket.h"
#include "engine/WSAThread.h"
#include "platform/WinSock.h"

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include <sys/socket.h>

// The probe record.
struct tagPACKET {
    int32_t Ident = 0;
    int32_t Seq = 0;        // for a trace, the hop number (the TTL)
    int32_t ReplyTime = -1; // milliseconds; -1 when nothing was received
    uint8_t Status = 0; // 0 not run, 1 reply, 2 error, 3 time-out, 4 unreachable (a trace's end)
    TagHostEnt Host;    // the target
    std::array<uint8_t, icmp::ReplySize> Reply{}; // the last answer, from its IPv4 header on
    // For a target reached over IPv6 (UsesIPv6): Reply holds the ICMPv6 message as a raw
    // ICMPv6 socket delivers it, without the IPv6 header, and this its source.
    TIn6Addr Source6{};
};

// The source of the packet's last answer as text (meaningful after status 1).
std::string ReplySource(const tagPACKET& packet);
// Whether that source is the target's own address.
bool AnsweredByTarget(const tagPACKET& packet);

// The probe's socket: a raw ICMP socket, or where that is refused the kernel's unprivileged
// ICMP datagram socket, whose answers are laid out as raw ones for the record.
struct IcmpSocket {
    winsock::SOCKET Handle = winsock::INVALID_SOCKET;
    bool Datagram = false;
    int Family = AF_INET; // AF_INET6: an ICMPv6 socket
};

// Opens a raw socket, else a datagram socket with IP_RECVERR or IPV6_RECVERR (the route's
// errors arrive on its error queue), for ICMP (AF_INET) or ICMPv6 (AF_INET6). False with
// WSAGetLastError set when neither can be had.
bool OpenIcmpSocket(IcmpSocket& socket, int family = AF_INET);
// Whether the last socket that could not be opened was refused for lack of rights (no
// CAP_NET_RAW and a ping_group_range without this group), so the user can be told once.
bool IcmpAccessRefused();
// What to do about it, in one sentence for the user.
const char* IcmpAccessAdvice();

// Sends one echo request made from the packet's Ident and Seq to its Host and waits up to
// `seconds` (0: half a millisecond) for this probe's answer. Returns 16 with the answer in
// Reply and its time in `replyTime`, 0 on time-out, -1 when the send or the wait failed
// (Stop ends the wait that way). Only the echo reply answers an echo: a router's message
// about it says the host was not reached. With `routeAnswer` (a trace hop) a time-exceeded or
// unreachable message quoting the request answers too, and its kind is stored there.
int SendEcho(const IcmpSocket& socket, tagPACKET& packet, int32_t seconds, int32_t& replyTime,
             icmp::ReplyKind* routeAnswer = nullptr);

using TReplyEvent = std::function<void(TObject* Sender, uint8_t Status, const tagPACKET& Packet)>;
using THopEvent = std::function<void(TObject* Sender, int32_t Hop, const tagPACKET& Packet)>;

// One echo to the target; always reports once through OnReply.
class TEcho : public TWSAThread {
public:
    TEcho(const TagHostEnt& host, int32_t ident, int32_t seq);
    tagPACKET FPacket;
    TReplyEvent OnReply;

protected:
    void Execute() override;
    // A probe without a thread, or whose body threw, still answers once (status 2), so the
    // series waiting for it goes on.
    void Failed(bool noThread, std::exception_ptr error) override;
};

// Echoes with TTL 1, 2, ... 255 until the target answers or a hop reports it unreachable
// (status 4); OnHop for each hop sent.
class TTrace : public TWSAThread {
public:
    explicit TTrace(const TagHostEnt& host);
    tagPACKET FPacket;
    THopEvent OnHop;

protected:
    void Execute() override;
    // A trace without a thread, or whose body threw, reports its next hop as failed (status 2)
    // rather than ending without a word.
    void Failed(bool noThread, std::exception_ptr error) override;

private:
    int32_t FHopsReported = 0;
};
