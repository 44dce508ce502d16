#include "engine/IcmpPacket.h"

#include <algorithm>
#include <cstring>

namespace icmp {

namespace {

constexpr size_t IpHeaderMin = 20, IcmpHeader = 8;

// The IPv4 header's length from its own field, or 0 when the bytes are no IPv4 header that
// fits `length` with an ICMP header after it.
size_t IpHeaderLength(const uint8_t* ip, size_t length) {
    if (length < IpHeaderMin || (ip[0] >> 4) != 4)
        return 0;
    const size_t ihl = size_t(ip[0] & 0x0F) * 4;
    if (ihl < IpHeaderMin || length < ihl + IcmpHeader)
        return 0;
    return ihl;
}

uint32_t Source(const uint8_t* ip) {
    uint32_t address;
    std::memcpy(&address, ip + 12, 4);
    return address;
}

// Identifier and sequence, as they left: the echo reply and a quoted request carry them back.
bool SameIdentAndSeq(const uint8_t* message, const uint8_t* request) {
    return std::memcmp(message + 4, request + 4, 4) == 0;
}

bool SameSeq(const uint8_t* message, const uint8_t* request) {
    return std::memcmp(message + 6, request + 6, 2) == 0;
}

ReplyKind ErrorKind(uint8_t type) {
    return type == TypeTimeExceeded  ? ReplyKind::TimeExceeded
           : type == TypeUnreachable ? ReplyKind::Unreachable
                                     : ReplyKind::Foreign;
}

constexpr size_t Ip6Header = 40;
constexpr uint8_t NextHeaderIcmp6 = 58;

ReplyKind ErrorKind6(uint8_t type) {
    return type == Type6TimeExceeded  ? ReplyKind::TimeExceeded
           : type == Type6Unreachable ? ReplyKind::Unreachable
                                      : ReplyKind::Foreign;
}

} // namespace

uint16_t Checksum(const uint8_t* bytes, size_t length) {
    uint32_t sum = 0;
    size_t i = 0;
    for (; i + 1 < length; i += 2) {
        uint16_t word;
        std::memcpy(&word, bytes + i, 2);
        sum += word;
    }
    if (i < length)
        sum += bytes[i];
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return uint16_t(~sum);
}

std::array<uint8_t, RequestSize> BuildEchoRequest(uint32_t ident, uint32_t seq) {
    std::array<uint8_t, RequestSize> request{};
    request[0] = TypeEchoRequest;
    request[4] = uint8_t(ident);
    request[5] = uint8_t(ident >> 8);
    request[6] = uint8_t(seq);
    request[7] = uint8_t(seq >> 8);
    for (size_t i = 8; i < RequestSize; ++i)
        request[i] = uint8_t(0x20 + (i - 8));
    const uint16_t sum = Checksum(request.data(), request.size());
    std::memcpy(&request[2], &sum, 2);
    return request;
}

ReplyMatch MatchRawReply(const uint8_t* data, size_t length, const uint8_t* request,
                         uint32_t target) {
    ReplyMatch match;
    const size_t ihl = IpHeaderLength(data, length);
    if (ihl == 0 || data[9] != 1)
        return match;
    const uint8_t* message = data + ihl;
    match.type = message[0];
    match.source = Source(data);
    if (match.type == TypeEchoReply) {
        if (SameIdentAndSeq(message, request) && match.source == target)
            match.kind = ReplyKind::EchoReply;
        return match;
    }
    const ReplyKind kind = ErrorKind(match.type);
    if (kind == ReplyKind::Foreign)
        return match;
    // The error quotes the request's IPv4 header and at least its first 8 bytes.
    const uint8_t* quoted = message + IcmpHeader;
    const size_t quotedLength = length - ihl - IcmpHeader;
    const size_t quotedIhl = IpHeaderLength(quoted, quotedLength);
    if (quotedIhl == 0 || quoted[9] != 1)
        return match;
    const uint8_t* original = quoted + quotedIhl;
    if (original[0] == TypeEchoRequest && SameIdentAndSeq(original, request) &&
        std::memcmp(quoted + 16, &target, 4) == 0)
        match.kind = kind;
    return match;
}

namespace {

// A datagram socket hands over only echo replies to its own identifier (the kernel's), so
// only the type and the sequence are ours to check.
ReplyMatch DatagramMatch(const uint8_t* data, size_t length, uint8_t echoReply,
                         const uint8_t* request) {
    ReplyMatch match;
    if (length < IcmpHeader)
        return match;
    match.type = data[0];
    if (match.type == echoReply && SameSeq(data, request))
        match.kind = ReplyKind::EchoReply;
    return match;
}

} // namespace

ReplyMatch MatchDatagramReply(const uint8_t* data, size_t length, uint32_t source,
                              const uint8_t* request, uint32_t target) {
    ReplyMatch match = DatagramMatch(data, length, TypeEchoReply, request);
    if (length >= IcmpHeader)
        match.source = source;
    if (source != target)
        match.kind = ReplyKind::Foreign;
    return match;
}

namespace {

// A queued error of `kind` answers the probe whose request (of `requestType`) it kept.
ReplyMatch QueuedMatch(uint8_t type, ReplyKind kind, uint8_t requestType, const uint8_t* original,
                       size_t originalLength, const uint8_t* request) {
    ReplyMatch match;
    match.type = type;
    if (kind != ReplyKind::Foreign && originalLength >= IcmpHeader && original[0] == requestType &&
        SameSeq(original, request))
        match.kind = kind;
    return match;
}

} // namespace

ReplyMatch MatchQueuedError(uint8_t type, uint8_t, uint32_t offender, const uint8_t* original,
                            size_t originalLength, const uint8_t* request, uint32_t sentTo,
                            uint32_t target) {
    ReplyMatch match = QueuedMatch(type, sentTo == target ? ErrorKind(type) : ReplyKind::Foreign,
                                   TypeEchoRequest, original, originalLength, request);
    match.source = offender;
    return match;
}

size_t LayOutAsRaw(uint32_t source, uint32_t destination, const uint8_t* icmpMessage,
                   size_t icmpLength, std::array<uint8_t, ReplySize>& reply) {
    reply.fill(0);
    reply[0] = 0x45;
    reply[8] = 64;
    reply[9] = 1;
    const size_t total = std::min(ReplySize, IpHeaderMin + icmpLength);
    reply[2] = uint8_t(total >> 8);
    reply[3] = uint8_t(total);
    std::memcpy(&reply[12], &source, 4);
    std::memcpy(&reply[16], &destination, 4);
    if (icmpLength > 0)
        std::memcpy(&reply[IpHeaderMin], icmpMessage, total - IpHeaderMin);
    return total;
}

size_t LayOutQueuedError(uint8_t type, uint8_t code, uint32_t offender, uint32_t destination,
                         const uint8_t* original, size_t originalLength,
                         std::array<uint8_t, ReplySize>& reply) {
    // The error message: its header, then the quoted IPv4 header and the original request.
    std::array<uint8_t, ReplySize> message{};
    message[0] = type;
    message[1] = code;
    uint8_t* quoted = &message[IcmpHeader];
    quoted[0] = 0x45;
    quoted[8] = 1;
    quoted[9] = 1;
    std::memcpy(quoted + 16, &destination, 4);
    const size_t room = ReplySize - IpHeaderMin - IcmpHeader - IpHeaderMin;
    const size_t kept = std::min(originalLength, room);
    if (kept > 0)
        std::memcpy(quoted + IpHeaderMin, original, kept);
    const size_t quotedTotal = IpHeaderMin + kept;
    quoted[2] = uint8_t(quotedTotal >> 8);
    quoted[3] = uint8_t(quotedTotal);
    return LayOutAsRaw(offender, 0, message.data(), IcmpHeader + quotedTotal, reply);
}

std::array<uint8_t, RequestSize> BuildEchoRequest6(uint32_t ident, uint32_t seq) {
    std::array<uint8_t, RequestSize> request = BuildEchoRequest(ident, seq);
    request[0] = Type6EchoRequest;
    request[2] = request[3] = 0;
    return request;
}

ReplyMatch MatchRawReply6(const uint8_t* data, size_t length, const uint8_t* request,
                          const uint8_t* source, const uint8_t* target) {
    ReplyMatch match;
    if (length < IcmpHeader)
        return match;
    match.type = data[0];
    if (match.type == Type6EchoReply) {
        if (SameIdentAndSeq(data, request) && std::memcmp(source, target, 16) == 0)
            match.kind = ReplyKind::EchoReply;
        return match;
    }
    const ReplyKind kind = ErrorKind6(match.type);
    if (kind == ReplyKind::Foreign || length < IcmpHeader + Ip6Header + IcmpHeader)
        return match;
    // The quoted IPv6 header: version 6, the request right after it (no extension headers).
    const uint8_t* quoted = data + IcmpHeader;
    if ((quoted[0] >> 4) != 6 || quoted[6] != NextHeaderIcmp6)
        return match;
    // The quoted header's destination (bytes 24 to 39) says whom the request was for.
    const uint8_t* original = quoted + Ip6Header;
    if (original[0] == Type6EchoRequest && SameIdentAndSeq(original, request) &&
        std::memcmp(quoted + 24, target, 16) == 0)
        match.kind = kind;
    return match;
}

ReplyMatch MatchDatagramReply6(const uint8_t* data, size_t length, const uint8_t* request,
                               const uint8_t* source, const uint8_t* target) {
    ReplyMatch match = DatagramMatch(data, length, Type6EchoReply, request);
    if (std::memcmp(source, target, 16) != 0)
        match.kind = ReplyKind::Foreign;
    return match;
}

ReplyMatch MatchQueuedError6(uint8_t type, const uint8_t* original, size_t originalLength,
                             const uint8_t* request, const uint8_t* sentTo, const uint8_t* target) {
    return QueuedMatch(type,
                       std::memcmp(sentTo, target, 16) == 0 ? ErrorKind6(type) : ReplyKind::Foreign,
                       Type6EchoRequest, original, originalLength, request);
}

size_t LayOutQueuedError6(uint8_t type, uint8_t code, const uint8_t* destination,
                          const uint8_t* original, size_t originalLength,
                          std::array<uint8_t, ReplySize>& reply) {
    reply.fill(0);
    reply[0] = type;
    reply[1] = code;
    uint8_t* quoted = &reply[IcmpHeader];
    quoted[0] = 0x60;
    quoted[6] = NextHeaderIcmp6;
    std::memcpy(quoted + 24, destination, 16);
    const size_t kept = std::min(originalLength, ReplySize - IcmpHeader - Ip6Header);
    quoted[4] = uint8_t(kept >> 8);
    quoted[5] = uint8_t(kept);
    if (kept > 0)
        std::memcpy(quoted + Ip6Header, original, kept);
    return IcmpHeader + Ip6Header + kept;
}

} // namespace icmp
