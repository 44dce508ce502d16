#pragma once

// ICMP echo requests and the datagrams that answer them, as pure functions over bytes: no
// sockets, no clock, so tests and fuzzers reach them directly.
#include <array>
#include <cstddef>
#include <cstdint>

namespace icmp {

constexpr size_t RequestSize = 24;
// Size of the probe record's reply buffer: the last datagram, from its IPv4 header on.
constexpr size_t ReplySize = 300;

constexpr uint8_t TypeEchoReply = 0, TypeUnreachable = 3, TypeEchoRequest = 8,
                  TypeTimeExceeded = 11;
// ICMPv6's counterparts.
constexpr uint8_t Type6Unreachable = 1, Type6TimeExceeded = 3, Type6EchoRequest = 128,
                  Type6EchoReply = 129;

// The Internet checksum (RFC 1071) over 16-bit words read in machine order: stored in machine
// order it puts the right bytes on the wire. An odd last byte counts as a word of its own.
uint16_t Checksum(const uint8_t* bytes, size_t length);

// The 24-byte echo request: type 8, code 0, the checksum, the low 16 bits of `ident` and `seq`
// least significant byte first, then the data bytes 0x20 to 0x2F.
std::array<uint8_t, RequestSize> BuildEchoRequest(uint32_t ident, uint32_t seq);

enum class ReplyKind {
    Foreign,      // not an answer to this probe (another program's, our own request, garbage)
    EchoReply,    // the echo reply to this probe
    TimeExceeded, // a router's time-exceeded message quoting this probe's request
    Unreachable,  // a destination-unreachable message quoting this probe's request
};

struct ReplyMatch {
    ReplyKind kind = ReplyKind::Foreign;
    uint8_t type = 0;    // the ICMP type read
    uint32_t source = 0; // the datagram's IPv4 source, network byte order
};

// One datagram as a raw ICMP socket delivers it (IPv4 header first), checked against the
// request `request` (the 8 header bytes at least) sent to `target` (network byte order). A raw
// socket sees every ICMP message of the host, other programs' included, so an echo reply
// counts only when it comes from the target and an error only when the request it quotes
// went to the target. The IPv4 header length is taken from its own field, for the datagram
// and for a quoted request alike. Pure; any bytes are safe.
ReplyMatch MatchRawReply(const uint8_t* data, size_t length, const uint8_t* request,
                         uint32_t target);

// One datagram as an unprivileged ICMP datagram socket delivers it from `source`: the ICMP
// message without an IPv4 header, its identifier chosen by the kernel. Only echo replies
// arrive this way; the sequence bytes and a source equal to `target` decide.
ReplyMatch MatchDatagramReply(const uint8_t* data, size_t length, uint32_t source,
                              const uint8_t* request, uint32_t target);

// An error-queue entry of such a socket (IP_RECVERR): the ICMP type and code, the offender's
// address, the original request as the kernel kept it and the address it was sent to.
// Time-exceeded and unreachable entries whose request carries this probe's sequence and went
// to `target` match; anything else is foreign.
ReplyMatch MatchQueuedError(uint8_t type, uint8_t code, uint32_t offender, const uint8_t* original,
                            size_t originalLength, const uint8_t* request, uint32_t sentTo,
                            uint32_t target);

// Lays a datagram-socket answer out as a raw socket would have delivered it, so the probe
// record reads the same either way: a 20-byte IPv4 header (version 4, protocol 1, source
// `source`, destination `destination`), then `icmpMessage`, cut at ReplySize. Returns the
// length written into `reply`.
size_t LayOutAsRaw(uint32_t source, uint32_t destination, const uint8_t* icmpMessage,
                   size_t icmpLength, std::array<uint8_t, ReplySize>& reply);

// The same for an error-queue entry: the ICMP error message from `offender` (type, code, a
// zero checksum, four unused bytes) quoting a 20-byte IPv4 header to `destination` and the
// original request.
size_t LayOutQueuedError(uint8_t type, uint8_t code, uint32_t offender, uint32_t destination,
                         const uint8_t* original, size_t originalLength,
                         std::array<uint8_t, ReplySize>& reply);

// ICMPv6, where sockets deliver the message without the IPv6 header and the sender's address
// comes apart (ReplyMatch::source stays 0). The request is the IPv4 one with type 128 and a
// zero checksum: the kernel computes ICMPv6 checksums, which cover the IPv6 addresses.
std::array<uint8_t, RequestSize> BuildEchoRequest6(uint32_t ident, uint32_t seq);

// One message as a raw ICMPv6 socket delivers it from `source` (16 bytes): an echo reply (129)
// from `target` carrying the request's identifier and sequence, or a time-exceeded (3) or
// unreachable (1) message quoting the request to `target` behind a 40-byte IPv6 header.
ReplyMatch MatchRawReply6(const uint8_t* data, size_t length, const uint8_t* request,
                          const uint8_t* source, const uint8_t* target);
// One message of an unprivileged ICMPv6 datagram socket: echo replies from `target`, the
// sequence decides.
ReplyMatch MatchDatagramReply6(const uint8_t* data, size_t length, const uint8_t* request,
                               const uint8_t* source, const uint8_t* target);
// An error-queue entry of such a socket (IPV6_RECVERR) for a request sent to `sentTo`, as
// MatchQueuedError.
ReplyMatch MatchQueuedError6(uint8_t type, const uint8_t* original, size_t originalLength,
                             const uint8_t* request, const uint8_t* sentTo, const uint8_t* target);
// Lays an error-queue entry out as a raw ICMPv6 socket would have delivered it: type, code,
// a zero checksum, four unused bytes, a 40-byte IPv6 header (next header 58, destination
// `destination`) and the original request. Returns the length written into `reply`.
size_t LayOutQueuedError6(uint8_t type, uint8_t code, const uint8_t* destination,
                          const uint8_t* original, size_t originalLength,
                          std::array<uint8_t, ReplySize>& reply);

} // namespace icmp
