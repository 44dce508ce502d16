#pragma once

// The ICMP probe workers: one echo (TEcho) and a trace with a rising time-to-live (TTrace).
#include "engine/EngineTypes.h"
#include "engine/IcmpPacket.h"
#include "engine/IcmpSocket.h"
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
    // ICMPv6 socket delivers it, without the IPv6 header, and this its source (with the
    // zone it came in on, for a link-local source).
    TIn6Addr Source6{};
    uint32_t SourceScope6 = 0;
    // With status 2: the WinSock code of the operation that failed.
    int32_t Error = 0;
    // A trace hop's answer: its round trip in microseconds (-1 none) and kind.
    int32_t ReplyMicros = -1;
    icmp::ReplyKind Kind = icmp::ReplyKind::Foreign;
};

// One trace hop as a record, for front ends that render it rather than compare codes.
enum class HopStatus {
    Reply,        // the target's echo reply
    TimeExceeded, // a router on the way
    NetUnreachable,
    HostUnreachable,
    PortUnreachable,
    Prohibited,  // administratively
    Unreachable, // another unreachable code
    TimedOut,
    SendError,
};
struct TraceHop {
    int32_t ttl = 0;
    HopStatus status = HopStatus::TimedOut;
    std::string address;  // the answer's source; empty without an answer
    double ms = -1;       // round trip to the microsecond; -1 without an answer
    bool reached = false; // the target itself answered
    int32_t error = 0;    // SendError: the WinSock code
};
// The record of a hop as the trace reported it.
TraceHop ReadHop(int32_t ttl, const tagPACKET& packet);
// "reply", "time-exceeded", "net-unreachable", ..., "time-out", "send-error".
const char* HopStatusName(HopStatus status);
// traceroute's mark of an unreachable answer ("!N", "!H", "!P", "!X", "!"); "" otherwise.
const char* HopStatusMark(HopStatus status);

// The source of the packet's last answer as text (meaningful after status 1).
std::string ReplySource(const tagPACKET& packet);
// Whether that source is the target's own address.
bool AnsweredByTarget(const tagPACKET& packet);

// Sends one echo request with the packet's Seq (and the socket's identifier) to its Host and
// waits up to `seconds` (0: half a millisecond) for this probe's answer: an echo reply from
// the target itself. Returns 16 with the answer in Reply and its time in `replyTime`, 0 on
// time-out, -1 when the send or the wait failed (Stop ends the wait that way), with
// WSAGetLastError set.
int SendEcho(const IcmpSocket& socket, tagPACKET& packet, int32_t seconds, int32_t& replyTime);

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

// A trace: probes with TTL 1, 2, ... FMaxHops, up to TraceWindow of them in flight at once,
// until the target answers or a hop reports it unreachable (status 4). OnHop once per hop in
// TTL order, each as soon as every lower hop is settled, exactly the hops a trace sending one
// probe at a time would report. A hop that stays silent while a farther one has answered is
// given up on after a small multiple of that answer's round trip; FReplyTimeOut bounds every
// wait.
class TTrace : public TWSAThread {
public:
    static constexpr int TraceWindow = 16;

    explicit TTrace(const TagHostEnt& host);
    tagPACKET FPacket;
    THopEvent OnHop;
    int32_t FMaxHops = 255; // 1 to 255

protected:
    void Execute() override;
    // A trace without a thread, or whose body threw, reports its next hop as failed (status 2)
    // rather than ending without a word.
    void Failed(bool noThread, std::exception_ptr error) override;

private:
    int32_t FHopsReported = 0;
};
