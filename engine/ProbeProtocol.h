#pragma once

// The line protocol between the probing programs and zindor-probe, the small helper that
// alone holds CAP_NET_RAW (mtr keeps mtr-packet apart the same way). Requests and replies are
// single lines; both sides are pure functions here, so tests and the fuzzer reach them.
//
//   request:  TOKEN send-probe ip-4|ip-6 ADDRESS [ttl N] [timeout-us N] [scope N]
//   replies:  ready [ip-4] [ip-6]                        (once, when the helper starts)
//             TOKEN sent                                 (the request went out)
//             TOKEN reply|ttl-expired|unreachable ip-4|ip-6 ADDRESS [scope N] code N
//                   round-trip-us N
//             TOKEN no-reply | invalid-argument | probes-exhausted | permission-denied
//             TOKEN send-error errno N
// A line that carries no readable token is answered with token 0.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace probeline {

// Longest line either side accepts, newline excluded.
constexpr size_t MaxLine = 200;
constexpr uint32_t MaxToken = 999999999;
// A probe waits at most this long; a ping's or trace's time-out box cannot ask for more.
constexpr uint64_t MaxTimeoutUs = 600'000'000;
constexpr uint64_t DefaultTimeoutUs = 1'000'000;

struct Request {
    uint32_t token = 0;
    bool v6 = false;
    std::array<uint8_t, 16> address{}; // IPv4: the first 4 bytes, network order
    uint32_t scope = 0;                // IPv6 zone (interface index)
    int ttl = 0;                       // 0: the system's default
    uint64_t timeoutUs = DefaultTimeoutUs;
};

// A request line (without its newline). Refuses anything but a unicast target: no
// unspecified, broadcast or multicast address. On refusal `token` gets the line's token when
// one could be read (else 0), for the error reply.
std::optional<Request> ParseRequest(std::string_view line, uint32_t& token);
std::string FormatRequest(const Request& request);

enum class Outcome {
    Sent,
    Reply,
    TtlExpired,
    Unreachable,
    NoReply,
    InvalidArgument,
    ProbesExhausted,
    PermissionDenied,
    SendError,
};

struct Reply {
    uint32_t token = 0;
    Outcome outcome = Outcome::InvalidArgument;
    bool v6 = false;
    std::array<uint8_t, 16> source{}; // Reply, TtlExpired, Unreachable
    uint32_t scope = 0;
    int code = 0; // the ICMP code of the answer
    uint64_t roundTripUs = 0;
    int error = 0; // SendError: the errno of the failed send
};

std::string FormatReply(const Reply& reply);
std::optional<Reply> ParseReply(std::string_view line);

// The greeting: which families the helper holds raw sockets for.
std::string FormatReady(bool v4, bool v6);
// False when the line is no greeting.
bool ParseReady(std::string_view line, bool& v4, bool& v6);

} // namespace probeline
