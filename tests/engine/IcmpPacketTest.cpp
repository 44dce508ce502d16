// Echo requests and the matching of answers, over bytes made here.
#include "engine/IcmpPacket.h"
#include "engine/IcmpFlight.h"
#include "engine/IcmpProbe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Addr(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    const uint8_t bytes[4] = {a, b, c, d};
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

// The probes' target in these cases, and another host.
const uint32_t kTarget = Addr(198, 18, 3, 2), kElsewhere = Addr(198, 18, 9, 9);

// An IPv4 header of `ihl` bytes (options zero) from `source` to `destination`.
Bytes IpHeader(size_t ihl, uint32_t source, uint8_t protocol = 1, uint32_t destination = 0) {
    Bytes h(ihl, 0);
    h[0] = uint8_t(0x40 | (ihl / 4));
    h[9] = protocol;
    std::memcpy(&h[12], &source, 4);
    std::memcpy(&h[16], &destination, 4);
    return h;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Request(uint32_t ident, uint32_t seq) {
    const auto r = icmp::BuildEchoRequest(ident, seq);
    return Bytes(r.begin(), r.end());
}

// An echo reply to `request` (type 0, same identifier, sequence and data).
Bytes EchoReplyTo(Bytes request) {
    request[0] = 0;
    return request;
}

// A router's error message quoting the request to `to` behind a header of `quotedIhl` bytes.
Bytes ErrorQuoting(uint8_t type, const Bytes& request, size_t quotedIhl = 20,
                   uint32_t to = kTarget) {
    Bytes header = {type, 0, 0, 0, 0, 0, 0, 0};
    return Cat(Cat(header, IpHeader(quotedIhl, Addr(198, 18, 0, 1), 1, to)), request);
}

TEST(IcmpChecksum, MakesTheOnesComplementSumAllOnes) {
    for (uint32_t ident : {0u, 1u, 257u, 0xFFFFu, 0x12345678u})
        for (uint32_t seq : {0u, 1u, 255u, 0xFFFFu, 0x10001u}) {
            const auto r = icmp::BuildEchoRequest(ident, seq);
            // Summing the request with its checksum in place gives 0xFFFF, so the checksum
            // of the whole is 0.
            EXPECT_EQ(icmp::Checksum(r.data(), r.size()), 0) << ident << "/" << seq;
        }
}

TEST(IcmpChecksum, FoldsCarriesAndCountsAnOddLastByte) {
    const uint8_t ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(icmp::Checksum(ones, 4), 0);
    // 0x1FFFF folds to 0x10000, whose carry must be folded once more.
    const uint8_t secondCarry[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00};
    EXPECT_EQ(icmp::Checksum(secondCarry, 6), 0xFFFE);
    const uint8_t odd[3] = {0x01, 0x02, 0x03};
    uint16_t first;
    std::memcpy(&first, odd, 2);
    EXPECT_EQ(icmp::Checksum(odd, 3), uint16_t(~(first + 0x03)));
    EXPECT_EQ(icmp::Checksum(odd, 0), 0xFFFF);
}

TEST(EchoRequest, CarriesIdentAndSequenceLeastSignificantByteFirst) {
    const auto r = icmp::BuildEchoRequest(257, 1);
    EXPECT_EQ(r[0], 8);
    EXPECT_EQ(r[1], 0);
    EXPECT_EQ(r[4], 0x01);
    EXPECT_EQ(r[5], 0x01);
    EXPECT_EQ(r[6], 0x01);
    EXPECT_EQ(r[7], 0x00);
    for (size_t i = 8; i < 24; ++i)
        EXPECT_EQ(r[i], 0x20 + (i - 8));
    // Only the low 16 bits go out.
    const auto high = icmp::BuildEchoRequest(0x10203, 0x70506);
    EXPECT_EQ(high[4], 0x03);
    EXPECT_EQ(high[5], 0x02);
    EXPECT_EQ(high[6], 0x06);
    EXPECT_EQ(high[7], 0x05);
}

TEST(MatchRawReply, TellsOurAnswersFromEverythingElse) {
    const Bytes ours = Request(512, 3);
    const Bytes other = Request(512, 4);
    const uint32_t from = Addr(198, 18, 1, 2);
    struct Case {
        const char* what;
        Bytes datagram;
        icmp::ReplyKind kind;
    };
    Bytes notIcmp = Cat(IpHeader(20, kTarget, 17), EchoReplyTo(ours));
    Bytes notV4 = Cat(IpHeader(20, kTarget), EchoReplyTo(ours));
    notV4[0] = 0x65;
    Bytes shortIhl = Cat(IpHeader(20, kTarget), EchoReplyTo(ours));
    shortIhl[0] = 0x44;
    Bytes otherIdent = Request(513, 3);
    const Case cases[] = {
        {"echo reply", Cat(IpHeader(20, kTarget), EchoReplyTo(ours)), icmp::ReplyKind::EchoReply},
        {"reply behind options", Cat(IpHeader(24, kTarget), EchoReplyTo(ours)),
         icmp::ReplyKind::EchoReply},
        // Another process's echo to another host, with the same numbers on the wire.
        {"reply from another host", Cat(IpHeader(20, kElsewhere), EchoReplyTo(ours)),
         icmp::ReplyKind::Foreign},
        {"reply of another sequence", Cat(IpHeader(20, kTarget), EchoReplyTo(other)),
         icmp::ReplyKind::Foreign},
        {"reply of another ident", Cat(IpHeader(20, kTarget), EchoReplyTo(otherIdent)),
         icmp::ReplyKind::Foreign},
        {"our own request", Cat(IpHeader(20, kTarget), ours), icmp::ReplyKind::Foreign},
        {"time exceeded for a probe to another host",
         Cat(IpHeader(20, from), ErrorQuoting(11, ours, 20, kElsewhere)), icmp::ReplyKind::Foreign},
        {"unreachable for a probe to another host",
         Cat(IpHeader(20, from), ErrorQuoting(3, ours, 20, kElsewhere)), icmp::ReplyKind::Foreign},
        {"time exceeded", Cat(IpHeader(20, from), ErrorQuoting(11, ours)),
         icmp::ReplyKind::TimeExceeded},
        {"time exceeded, options in both headers",
         Cat(IpHeader(28, from), ErrorQuoting(11, ours, 24)), icmp::ReplyKind::TimeExceeded},
        {"unreachable", Cat(IpHeader(20, from), ErrorQuoting(3, ours)),
         icmp::ReplyKind::Unreachable},
        {"time exceeded for another probe", Cat(IpHeader(20, from), ErrorQuoting(11, other)),
         icmp::ReplyKind::Foreign},
        {"error quoting a reply", Cat(IpHeader(20, from), ErrorQuoting(11, EchoReplyTo(ours))),
         icmp::ReplyKind::Foreign},
        {"redirect", Cat(IpHeader(20, from), ErrorQuoting(5, ours)), icmp::ReplyKind::Foreign},
        {"not ICMP", notIcmp, icmp::ReplyKind::Foreign},
        {"not IPv4", notV4, icmp::ReplyKind::Foreign},
        {"header length below 20", shortIhl, icmp::ReplyKind::Foreign},
    };
    for (const Case& c : cases) {
        const auto m =
            icmp::MatchRawReply(c.datagram.data(), c.datagram.size(), ours.data(), kTarget);
        EXPECT_EQ(m.kind, c.kind) << c.what;
        if (m.kind != icmp::ReplyKind::Foreign) {
            EXPECT_EQ(m.source, m.kind == icmp::ReplyKind::EchoReply ? kTarget : from) << c.what;
        }
    }
}

TEST(MatchRawReply, ReadsTheTypeWhereTheHeaderLengthPutsIt) {
    const Bytes ours = Request(300, 1);
    // Options whose byte 20 is 0 would pass for an echo reply at a fixed offset.
    Bytes d = Cat(IpHeader(24, Addr(10, 0, 0, 1)), ErrorQuoting(11, ours));
    const auto m = icmp::MatchRawReply(d.data(), d.size(), ours.data(), kTarget);
    EXPECT_EQ(m.type, 11);
    EXPECT_EQ(m.kind, icmp::ReplyKind::TimeExceeded);
}

TEST(MatchRawReply, RefusesEveryTruncation) {
    const Bytes ours = Request(512, 7);
    const Bytes full = Cat(IpHeader(24, Addr(1, 2, 3, 4)), ErrorQuoting(11, ours, 24));
    // The match needs the outer header, 8 bytes of error, the quoted header and 8 bytes of
    // the quoted request; every shorter prefix is foreign, and none is read past its end.
    const size_t needed = 24 + 8 + 24 + 8;
    for (size_t n = 0; n < full.size(); ++n) {
        Bytes prefix(full.begin(), full.begin() + long(n));
        const auto m = icmp::MatchRawReply(prefix.data(), prefix.size(), ours.data(), kTarget);
        EXPECT_EQ(m.kind == icmp::ReplyKind::Foreign, n < needed) << n;
    }
}

TEST(MatchDatagramReply, MatchesOnTheSequenceSinceTheKernelOwnsTheIdent) {
    const Bytes ours = Request(257, 9);
    Bytes reply = EchoReplyTo(ours);
    reply[4] = 0x77; // the kernel's identifier
    const uint32_t from = kTarget;
    auto m = icmp::MatchDatagramReply(reply.data(), reply.size(), from, ours.data(), kTarget);
    EXPECT_EQ(m.kind, icmp::ReplyKind::EchoReply);
    EXPECT_EQ(m.source, from);
    // The kernel hands a datagram socket every reply to its identifier, whoever sent it.
    EXPECT_EQ(
        icmp::MatchDatagramReply(reply.data(), reply.size(), kElsewhere, ours.data(), kTarget).kind,
        icmp::ReplyKind::Foreign);
    reply[6] = 10;
    EXPECT_EQ(icmp::MatchDatagramReply(reply.data(), reply.size(), from, ours.data(), kTarget).kind,
              icmp::ReplyKind::Foreign);
    EXPECT_EQ(icmp::MatchDatagramReply(reply.data(), 7, from, ours.data(), kTarget).kind,
              icmp::ReplyKind::Foreign);
}

TEST(MatchQueuedError, TakesTimeExceededAndUnreachableForThisSequence) {
    const Bytes ours = Request(512, 4);
    const uint32_t router = Addr(198, 18, 1, 1);
    struct Case {
        uint8_t type;
        Bytes original;
        icmp::ReplyKind kind;
        uint32_t sentTo = kTarget;
    };
    const Case cases[] = {
        {11, ours, icmp::ReplyKind::TimeExceeded},
        {3, ours, icmp::ReplyKind::Unreachable},
        {11, ours, icmp::ReplyKind::Foreign, kElsewhere},
        {3, ours, icmp::ReplyKind::Foreign, kElsewhere},
        {11, Request(512, 5), icmp::ReplyKind::Foreign},
        {12, ours, icmp::ReplyKind::Foreign},
        {11, Bytes(ours.begin(), ours.begin() + 7), icmp::ReplyKind::Foreign},
    };
    for (const Case& c : cases) {
        const auto m = icmp::MatchQueuedError(c.type, 0, router, c.original.data(),
                                              c.original.size(), ours.data(), c.sentTo, kTarget);
        EXPECT_EQ(m.kind, c.kind) << int(c.type) << "/" << c.original.size() << "/" << c.sentTo;
    }
}

TEST(DatagramRecord, ReadsLikeARawDatagram) {
    const Bytes ours = Request(512, 2);
    const uint32_t target = Addr(198, 18, 3, 2), router = Addr(198, 18, 1, 1);
    std::array<uint8_t, icmp::ReplySize> reply{};
    // An echo reply: protocol at 9, source at 12, type at 20, and a raw match still holds.
    const Bytes echo = EchoReplyTo(ours);
    size_t n = icmp::LayOutAsRaw(target, Addr(198, 18, 0, 2), echo.data(), echo.size(), reply);
    EXPECT_EQ(n, 44u);
    EXPECT_EQ(reply[9], 1);
    EXPECT_EQ(reply[20], 0);
    uint32_t source;
    std::memcpy(&source, &reply[12], 4);
    EXPECT_EQ(source, target);
    EXPECT_EQ(icmp::MatchRawReply(reply.data(), n, ours.data(), target).kind,
              icmp::ReplyKind::EchoReply);
    // A queued time-exceeded: the router as source, type 11, and the request quoted.
    n = icmp::LayOutQueuedError(11, 0, router, target, ours.data(), ours.size(), reply);
    std::memcpy(&source, &reply[12], 4);
    EXPECT_EQ(source, router);
    EXPECT_EQ(reply[20], 11);
    EXPECT_EQ(icmp::MatchRawReply(reply.data(), n, ours.data(), target).kind,
              icmp::ReplyKind::TimeExceeded);
    // An oversized message is cut at the buffer's end.
    const Bytes big(1000, 0xAB);
    EXPECT_EQ(icmp::LayOutAsRaw(target, 0, big.data(), big.size(), reply), icmp::ReplySize);
    EXPECT_EQ(icmp::LayOutQueuedError(3, 1, router, target, big.data(), big.size(), reply),
              icmp::ReplySize);
}

} // namespace

namespace {

Bytes Request6(uint32_t ident, uint32_t seq) {
    const auto r = icmp::BuildEchoRequest6(ident, seq);
    return Bytes(r.begin(), r.end());
}

const uint8_t kTarget6[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
const uint8_t kElsewhere6[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9};

// An ICMPv6 error quoting `request` to `to` behind an IPv6 header with next header `next`.
Bytes Error6Quoting(uint8_t type, const Bytes& request, uint8_t version = 6, uint8_t next = 58,
                    const uint8_t* to = kTarget6) {
    Bytes header = {type, 0, 0, 0, 0, 0, 0, 0};
    Bytes ip6(40, 0);
    ip6[0] = uint8_t(version << 4);
    ip6[6] = next;
    std::memcpy(&ip6[24], to, 16);
    return Cat(Cat(header, ip6), request);
}

} // namespace

TEST(MatchReply6, TellsOurIcmpv6AnswersFromEverythingElse) {
    const Bytes ours = Request6(512, 3);
    EXPECT_EQ(ours[0], 128);
    EXPECT_EQ(ours[2] | ours[3], 0) << "the kernel computes the checksum";
    Bytes reply = ours;
    reply[0] = 129;
    Bytes otherSeq = reply, otherIdent = reply;
    otherSeq[6] = 4;
    otherIdent[4] = 0x77;
    const Bytes laidOut = [&] {
        std::array<uint8_t, icmp::ReplySize> r{};
        const size_t n = icmp::LayOutQueuedError6(3, 0, kTarget6, ours.data(), ours.size(), r);
        return Bytes(r.begin(), r.begin() + long(n));
    }();
    using K = icmp::ReplyKind;
    const struct {
        const char* what;
        Bytes message;
        K raw, datagram;
        const uint8_t* from = kTarget6;
    } cases[] = {
        {"echo reply", reply, K::EchoReply, K::EchoReply},
        {"reply from another host", reply, K::Foreign, K::Foreign, kElsewhere6},
        {"time exceeded for a probe to another host", Error6Quoting(3, ours, 6, 58, kElsewhere6),
         K::Foreign, K::Foreign},
        {"reply of another sequence", otherSeq, K::Foreign, K::Foreign},
        {"reply with the kernel's ident", otherIdent, K::Foreign, K::EchoReply},
        {"our own request", ours, K::Foreign, K::Foreign},
        {"an IPv4 echo reply", EchoReplyTo(Request(512, 3)), K::Foreign, K::Foreign},
        {"time exceeded", Error6Quoting(3, ours), K::TimeExceeded, K::Foreign},
        {"unreachable", Error6Quoting(1, ours), K::Unreachable, K::Foreign},
        {"time exceeded for another probe", Error6Quoting(3, Request6(512, 4)), K::Foreign,
         K::Foreign},
        {"quoting no IPv6 header", Error6Quoting(3, ours, 4), K::Foreign, K::Foreign},
        {"quoting a header other than ICMPv6", Error6Quoting(3, ours, 6, 17), K::Foreign,
         K::Foreign},
        {"packet too big", Error6Quoting(2, ours), K::Foreign, K::Foreign},
        {"cut inside the quoted request", Bytes(laidOut.begin(), laidOut.begin() + 55), K::Foreign,
         K::Foreign},
        {"a queued error laid out", laidOut, K::TimeExceeded, K::Foreign},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            icmp::MatchRawReply6(c.message.data(), c.message.size(), ours.data(), c.from, kTarget6)
                .kind,
            c.raw)
            << c.what;
        EXPECT_EQ(icmp::MatchDatagramReply6(c.message.data(), c.message.size(), ours.data(), c.from,
                                            kTarget6)
                      .kind,
                  c.datagram)
            << c.what;
    }
    const struct {
        uint8_t type;
        size_t length;
        const uint8_t* sentTo;
        K kind;
    } queued[] = {
        {3, ours.size(), kTarget6, K::TimeExceeded}, {1, ours.size(), kTarget6, K::Unreachable},
        {3, ours.size(), kElsewhere6, K::Foreign},   {1, ours.size(), kElsewhere6, K::Foreign},
        {11, ours.size(), kTarget6, K::Foreign},     {3, 7, kTarget6, K::Foreign}};
    for (const auto& q : queued)
        EXPECT_EQ(
            icmp::MatchQueuedError6(q.type, ours.data(), q.length, ours.data(), q.sentTo, kTarget6)
                .kind,
            q.kind)
            << int(q.type) << "/" << q.length;
}

namespace {

// A silent hop's wait past a farther answer: ten times its round trip, 50 ms at the least.
TEST(NearWait, TenTimesTheFartherRoundTripWithAFloor) {
    using std::chrono::microseconds;
    const std::pair<microseconds, microseconds> rows[] = {
        {microseconds(0), microseconds(50000)},
        {microseconds(4999), microseconds(50000)},
        {microseconds(5000), microseconds(50000)},
        {microseconds(5001), microseconds(50010)},
        {microseconds(300000), microseconds(3000000)}};
    for (const auto& [farther, wait] : rows)
        EXPECT_EQ(icmpflight::NearWait(farther), wait) << farther.count();
}

} // namespace

namespace {

// A trace hop's packet read into its record: the status from the reply's kind and code (an
// IPv4 header of its own length before the ICMP code), the target's answer as reached.
TEST(ReadHop, StatusCodesAndReach) {
    struct Row {
        bool v6;
        uint8_t status;
        icmp::ReplyKind kind;
        uint8_t headerWords; // IPv4: the header's length in 32-bit words
        uint8_t code;
        bool fromTarget;
        HopStatus expected;
    };
    using K = icmp::ReplyKind;
    using S = HopStatus;
    const Row rows[] = {
        {false, 1, K::EchoReply, 5, 0, true, S::Reply},
        {false, 1, K::TimeExceeded, 5, 0, false, S::TimeExceeded},
        {false, 4, K::Unreachable, 5, 0, false, S::NetUnreachable},
        {false, 4, K::Unreachable, 5, 1, false, S::HostUnreachable},
        {false, 4, K::Unreachable, 6, 1, false, S::HostUnreachable},
        {false, 4, K::Unreachable, 5, 3, false, S::PortUnreachable},
        {false, 4, K::Unreachable, 5, 13, false, S::Prohibited},
        {false, 4, K::Unreachable, 5, 2, false, S::Unreachable},
        {true, 4, K::Unreachable, 0, 0, false, S::NetUnreachable},
        {true, 4, K::Unreachable, 0, 1, false, S::Prohibited},
        {true, 4, K::Unreachable, 0, 3, false, S::HostUnreachable},
        {true, 4, K::Unreachable, 0, 4, false, S::PortUnreachable},
        {true, 1, K::EchoReply, 0, 0, true, S::Reply},
        {true, 1, K::TimeExceeded, 0, 0, false, S::TimeExceeded},
    };
    for (const Row& r : rows) {
        tagPACKET p;
        p.Status = r.status;
        p.Kind = r.kind;
        p.ReplyMicros = 1234;
        const TIn6Addr target6{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9};
        if (r.v6) {
            p.Host.Addresses6 = {target6};
            p.Source6 = r.fromTarget ? target6 : TIn6Addr{0xfe, 0x80};
            p.Reply[1] = r.code;
        } else {
            p.Host.Address = Addr(198, 18, 1, 2);
            p.Reply[0] = uint8_t(0x40 | r.headerWords);
            const uint32_t source = r.fromTarget ? Addr(198, 18, 1, 2) : Addr(198, 18, 0, 2);
            std::memcpy(&p.Reply[12], &source, 4);
            p.Reply[r.headerWords * 4u + 1] = r.code;
            p.Reply[r.headerWords * 4u] = 3;
        }
        const TraceHop hop = ReadHop(7, p);
        const std::string row = std::string(r.v6 ? "v6 " : "v4 ") + std::to_string(r.code);
        EXPECT_EQ(hop.status, r.expected) << row;
        EXPECT_EQ(hop.reached, r.fromTarget) << row;
        EXPECT_EQ(hop.ttl, 7);
        EXPECT_DOUBLE_EQ(hop.ms, 1.234);
        EXPECT_EQ(hop.address, r.v6 ? (r.fromTarget ? "2001:db8::9" : "fe80::")
                                    : (r.fromTarget ? "198.18.1.2" : "198.18.0.2"))
            << row;
    }
    // No answer: no address and no time; a probe that could not be sent keeps its reason.
    tagPACKET silent;
    silent.Status = 3;
    silent.Host.Address = Addr(198, 18, 1, 2);
    const TraceHop timedOut = ReadHop(2, silent);
    EXPECT_EQ(timedOut.status, HopStatus::TimedOut);
    EXPECT_EQ(timedOut.address, "");
    EXPECT_EQ(timedOut.ms, -1);
    silent.Status = 2;
    silent.Error = 10051;
    const TraceHop unsent = ReadHop(2, silent);
    EXPECT_EQ(unsent.status, HopStatus::SendError);
    EXPECT_EQ(unsent.error, 10051);
}

} // namespace
