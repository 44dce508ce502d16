// Echo requests and the matching of answers, over bytes made here.
#include "engine/IcmpPacket.h"

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

// An IPv4 header of `ihl` bytes (options zero) from `source`, protocol `protocol`.
Bytes IpHeader(size_t ihl, uint32_t source, uint8_t protocol = 1) {
    Bytes h(ihl, 0);
    h[0] = uint8_t(0x40 | (ihl / 4));
    h[9] = protocol;
    std::memcpy(&h[12], &source, 4);
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

// A router's error message quoting the request behind a header of `quotedIhl` bytes.
Bytes ErrorQuoting(uint8_t type, const Bytes& request, size_t quotedIhl = 20) {
    Bytes header = {type, 0, 0, 0, 0, 0, 0, 0};
    return Cat(Cat(header, IpHeader(quotedIhl, Addr(198, 18, 0, 1))), request);
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
    Bytes notIcmp = Cat(IpHeader(20, from, 17), EchoReplyTo(ours));
    Bytes notV4 = Cat(IpHeader(20, from), EchoReplyTo(ours));
    notV4[0] = 0x65;
    Bytes shortIhl = Cat(IpHeader(20, from), EchoReplyTo(ours));
    shortIhl[0] = 0x44;
    Bytes otherIdent = Request(513, 3);
    const Case cases[] = {
        {"echo reply", Cat(IpHeader(20, from), EchoReplyTo(ours)), icmp::ReplyKind::EchoReply},
        {"reply behind options", Cat(IpHeader(24, from), EchoReplyTo(ours)),
         icmp::ReplyKind::EchoReply},
        {"reply of another sequence", Cat(IpHeader(20, from), EchoReplyTo(other)),
         icmp::ReplyKind::Foreign},
        {"reply of another ident", Cat(IpHeader(20, from), EchoReplyTo(otherIdent)),
         icmp::ReplyKind::Foreign},
        {"our own request", Cat(IpHeader(20, from), ours), icmp::ReplyKind::Foreign},
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
        const auto m = icmp::MatchRawReply(c.datagram.data(), c.datagram.size(), ours.data());
        EXPECT_EQ(m.kind, c.kind) << c.what;
        if (m.kind != icmp::ReplyKind::Foreign) {
            EXPECT_EQ(m.source, from) << c.what;
        }
    }
}

TEST(MatchRawReply, ReadsTheTypeWhereTheHeaderLengthPutsIt) {
    const Bytes ours = Request(300, 1);
    // Options whose byte 20 is 0 would pass for an echo reply at a fixed offset.
    Bytes d = Cat(IpHeader(24, Addr(10, 0, 0, 1)), ErrorQuoting(11, ours));
    const auto m = icmp::MatchRawReply(d.data(), d.size(), ours.data());
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
        const auto m = icmp::MatchRawReply(prefix.data(), prefix.size(), ours.data());
        EXPECT_EQ(m.kind == icmp::ReplyKind::Foreign, n < needed) << n;
    }
}

TEST(MatchDatagramReply, MatchesOnTheSequenceSinceTheKernelOwnsTheIdent) {
    const Bytes ours = Request(257, 9);
    Bytes reply = EchoReplyTo(ours);
    reply[4] = 0x77; // the kernel's identifier
    const uint32_t from = Addr(198, 18, 3, 2);
    auto m = icmp::MatchDatagramReply(reply.data(), reply.size(), from, ours.data());
    EXPECT_EQ(m.kind, icmp::ReplyKind::EchoReply);
    EXPECT_EQ(m.source, from);
    reply[6] = 10;
    EXPECT_EQ(icmp::MatchDatagramReply(reply.data(), reply.size(), from, ours.data()).kind,
              icmp::ReplyKind::Foreign);
    EXPECT_EQ(icmp::MatchDatagramReply(reply.data(), 7, from, ours.data()).kind,
              icmp::ReplyKind::Foreign);
}

TEST(MatchQueuedError, TakesTimeExceededAndUnreachableForThisSequence) {
    const Bytes ours = Request(512, 4);
    const uint32_t router = Addr(198, 18, 1, 1);
    struct Case {
        uint8_t type;
        Bytes original;
        icmp::ReplyKind kind;
    };
    const Case cases[] = {
        {11, ours, icmp::ReplyKind::TimeExceeded},
        {3, ours, icmp::ReplyKind::Unreachable},
        {11, Request(512, 5), icmp::ReplyKind::Foreign},
        {12, ours, icmp::ReplyKind::Foreign},
        {11, Bytes(ours.begin(), ours.begin() + 7), icmp::ReplyKind::Foreign},
    };
    for (const Case& c : cases) {
        const auto m = icmp::MatchQueuedError(c.type, 0, router, c.original.data(),
                                              c.original.size(), ours.data());
        EXPECT_EQ(m.kind, c.kind) << int(c.type) << "/" << c.original.size();
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
    EXPECT_EQ(icmp::MatchRawReply(reply.data(), n, ours.data()).kind, icmp::ReplyKind::EchoReply);
    // A queued time-exceeded: the router as source, type 11, and the request quoted.
    n = icmp::LayOutQueuedError(11, 0, router, target, ours.data(), ours.size(), reply);
    std::memcpy(&source, &reply[12], 4);
    EXPECT_EQ(source, router);
    EXPECT_EQ(reply[20], 11);
    EXPECT_EQ(icmp::MatchRawReply(reply.data(), n, ours.data()).kind,
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

// An ICMPv6 error quoting `request` behind an IPv6 header with next header `next`.
Bytes Error6Quoting(uint8_t type, const Bytes& request, uint8_t version = 6, uint8_t next = 58) {
    Bytes header = {type, 0, 0, 0, 0, 0, 0, 0};
    Bytes ip6(40, 0);
    ip6[0] = uint8_t(version << 4);
    ip6[6] = next;
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
        const size_t n = icmp::LayOutQueuedError6(3, 0, ours.data(), ours.size(), r);
        return Bytes(r.begin(), r.begin() + long(n));
    }();
    using K = icmp::ReplyKind;
    const struct {
        const char* what;
        Bytes message;
        K raw, datagram;
    } cases[] = {
        {"echo reply", reply, K::EchoReply, K::EchoReply},
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
        EXPECT_EQ(icmp::MatchRawReply6(c.message.data(), c.message.size(), ours.data()).kind, c.raw)
            << c.what;
        EXPECT_EQ(icmp::MatchDatagramReply6(c.message.data(), c.message.size(), ours.data()).kind,
                  c.datagram)
            << c.what;
    }
    EXPECT_EQ(icmp::MatchQueuedError6(3, ours.data(), ours.size(), ours.data()).kind,
              K::TimeExceeded);
    EXPECT_EQ(icmp::MatchQueuedError6(1, ours.data(), ours.size(), ours.data()).kind,
              K::Unreachable);
    EXPECT_EQ(icmp::MatchQueuedError6(11, ours.data(), ours.size(), ours.data()).kind, K::Foreign);
    EXPECT_EQ(icmp::MatchQueuedError6(3, otherSeq.data(), 7, ours.data()).kind, K::Foreign);
}
