// ICMP answers as raw and datagram sockets deliver them: any bytes are matched against a
// probe's request without reading past them, a match always names the type it read, and
// our own request seen on loopback never counts as its answer.
//
// Input: two bytes of identifier, two of sequence, one ICMP type and one code for the error
// queue, then the datagram.
#include "engine/IcmpPacket.h"
#include "fuzz/FuzzCommon.h"

#include <array>
#include <cstdint>
#include <vector>

namespace {

// The ICMPv6 matchers name ICMPv6 types.
void CheckType6(const icmp::ReplyMatch& m) {
    const uint8_t expected[] = {0, icmp::Type6EchoReply, icmp::Type6TimeExceeded,
                                icmp::Type6Unreachable};
    if (m.kind != icmp::ReplyKind::Foreign)
        FUZZ_CHECK(m.type == expected[int(m.kind)]);
}

void CheckType(const icmp::ReplyMatch& m) {
    switch (m.kind) {
    case icmp::ReplyKind::EchoReply:
        FUZZ_CHECK(m.type == icmp::TypeEchoReply);
        break;
    case icmp::ReplyKind::TimeExceeded:
        FUZZ_CHECK(m.type == icmp::TypeTimeExceeded);
        break;
    case icmp::ReplyKind::Unreachable:
        FUZZ_CHECK(m.type == icmp::TypeUnreachable);
        break;
    case icmp::ReplyKind::Foreign:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6)
        return 0;
    const uint32_t ident = data[0] | data[1] << 8, seq = data[2] | data[3] << 8;
    const uint8_t errType = data[4], errCode = data[5];
    // The datagram in a buffer of its own size, so ASan sees any read past its end.
    const std::vector<uint8_t> datagram(data + 6, data + size);
    const uint8_t* bytes = datagram.empty() ? nullptr : datagram.data();
    const auto request = icmp::BuildEchoRequest(ident, seq);
    const uint32_t source = 0x0100007f, destination = 0x0200007f;

    CheckType(icmp::MatchRawReply(bytes, datagram.size(), request.data(), destination));
    const auto viaDatagram =
        icmp::MatchDatagramReply(bytes, datagram.size(), source, request.data(), source);
    CheckType(viaDatagram);
    const auto queued = icmp::MatchQueuedError(errType, errCode, source, bytes, datagram.size(),
                                               request.data(), destination, destination);
    CheckType(queued);

    // Laid out as a raw socket would deliver it, the record stays within its buffer and keeps
    // the source and the type where the probe reads them.
    std::array<uint8_t, icmp::ReplySize> reply{};
    const size_t laid = icmp::LayOutAsRaw(source, destination, bytes, datagram.size(), reply);
    FUZZ_CHECK(laid <= reply.size());
    if (viaDatagram.kind == icmp::ReplyKind::EchoReply) {
        FUZZ_CHECK(laid > 20 && reply[20] == icmp::TypeEchoReply);
        FUZZ_CHECK(icmp::MatchRawReply(reply.data(), laid, request.data(), source).source ==
                   source);
    }
    if (queued.kind != icmp::ReplyKind::Foreign) {
        const size_t n = icmp::LayOutQueuedError(errType, errCode, source, destination, bytes,
                                                 datagram.size(), reply);
        FUZZ_CHECK(n <= reply.size() && n > 20 && reply[20] == errType);
    }

    // The same bytes as ICMPv6 messages; a queued error laid out keeps its type in place.
    const auto request6 = icmp::BuildEchoRequest6(ident, seq);
    const uint8_t target6[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    CheckType6(icmp::MatchRawReply6(bytes, datagram.size(), request6.data(), target6, target6));
    CheckType6(
        icmp::MatchDatagramReply6(bytes, datagram.size(), request6.data(), target6, target6));
    const auto queued6 =
        icmp::MatchQueuedError6(errType, bytes, datagram.size(), request6.data(), target6, target6);
    CheckType6(queued6);
    if (queued6.kind != icmp::ReplyKind::Foreign) {
        const size_t n =
            icmp::LayOutQueuedError6(errType, errCode, target6, bytes, datagram.size(), reply);
        FUZZ_CHECK(n <= reply.size() && n >= 56 && reply[0] == errType);
    }
    FUZZ_CHECK(
        icmp::MatchRawReply6(request6.data(), request6.size(), request6.data(), target6, target6)
            .kind == icmp::ReplyKind::Foreign);

    // Our own request, as loopback hands it back to a raw socket, is not its answer.
    const size_t own = icmp::LayOutAsRaw(source, source, request.data(), request.size(), reply);
    FUZZ_CHECK(icmp::MatchRawReply(reply.data(), own, request.data(), source).kind ==
               icmp::ReplyKind::Foreign);
    return 0;
}
