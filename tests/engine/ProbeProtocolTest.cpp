// The probe helper's request and reply lines: what a user may feed the helper, what it
// refuses, and what each side reads back of the other's lines.
#include "engine/ProbeProtocol.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace {

using probeline::Outcome;

// A line `size` bytes long: blanks after the token.
std::string Padded(std::string line, size_t size) {
    return line.insert(1, size - line.size(), ' ');
}

// A row without its canonical form is refused.
struct RequestRow {
    std::string line;
    uint32_t token;             // the token read, also from a refused line
    std::string canonical = ""; // what FormatRequest writes of an accepted one
};

const RequestRow kRequests[] = {
    {"1 send-probe ip-4 198.18.1.2", 1, "1 send-probe ip-4 198.18.1.2 timeout-us 1000000"},
    {"  12  send-probe  ip-4 198.18.1.2  ttl 255 timeout-us 600000000 ", 12,
     "12 send-probe ip-4 198.18.1.2 ttl 255 timeout-us 600000000"},
    {"999999999 send-probe ip-6 fe80::1 scope 4294967295 ttl 1 timeout-us 1", 999999999,
     "999999999 send-probe ip-6 fe80::1 ttl 1 timeout-us 1 scope 4294967295"},
    {"4 send-probe ip-6 fe80::1", 4, "4 send-probe ip-6 fe80::1 timeout-us 1000000"},
    // The token: 1 to 999999999, digits only.
    {"0 send-probe ip-4 198.18.1.2", 0},
    {"1000000000 send-probe ip-4 198.18.1.2", 0},
    {"-1 send-probe ip-4 198.18.1.2", 0},
    {"", 0},
    // Limits, at the limit above and one past; a line past the longest is no line at all.
    {"2 send-probe ip-4 198.18.1.2 ttl 256", 2},
    {"2 send-probe ip-4 198.18.1.2 ttl 0", 2},
    {"2 send-probe ip-4 198.18.1.2 timeout-us 600000001", 2},
    {"2 send-probe ip-4 198.18.1.2 timeout-us 0", 2},
    {"2 send-probe ip-6 fe80::1 scope 4294967296", 2},
    {Padded("6 send-probe ip-4 127.0.0.1 ttl 9", probeline::MaxLine), 6,
     "6 send-probe ip-4 127.0.0.1 ttl 9 timeout-us 1000000"},
    {Padded("6 send-probe ip-4 127.0.0.1 ttl 9", probeline::MaxLine) + " ", 0},
    // Only one unicast host: nothing that reaches a whole link, nothing unspecified.
    {"3 send-probe ip-4 255.255.255.255", 3},
    {"3 send-probe ip-4 0.0.0.0", 3},
    {"3 send-probe ip-4 224.0.0.1", 3},
    {"3 send-probe ip-4 239.255.255.255", 3},
    {"3 send-probe ip-4 223.255.255.254", 3,
     "3 send-probe ip-4 223.255.255.254 timeout-us 1000000"},
    {"3 send-probe ip-6 ::", 3},
    {"3 send-probe ip-6 ff02::1", 3},
    // The address matches its family; a zone goes only with IPv6.
    {"4 send-probe ip-4 ::1", 4},
    {"4 send-probe ip-6 127.0.0.1", 4},
    {"4 send-probe ip-4 127.0.0.1 scope 2", 4},
    {std::string("4 send-probe ip-4 127.0.0.1\0x", 29), 4},
    // No other command, no key twice, no key without a value, nothing unknown.
    {"5 send-raw ip-4 127.0.0.1", 5},
    {"5 send-probe ip-4 127.0.0.1 ttl 3 ttl 4", 5},
    {"5 send-probe ip-4 127.0.0.1 ttl", 5},
    {"5 send-probe ip-4 127.0.0.1 size 9000", 5},
    {"5 send-probe ip-4 127.0.0.1 ttl 0x10", 5},
};

TEST(ProbeProtocol, RequestLines) {
    for (const auto& row : kRequests) {
        SCOPED_TRACE(row.line);
        uint32_t token = 77;
        const auto request = probeline::ParseRequest(row.line, token);
        EXPECT_EQ(token, row.token);
        EXPECT_EQ(request ? probeline::FormatRequest(*request) : "", row.canonical);
    }
}

// A row without an outcome is refused; an accepted line is also written back as it was read.
struct ReplyRow {
    const char* line;
    std::optional<Outcome> outcome = {};
    int code = 0;
    uint64_t roundTripUs = 0;
    uint32_t scope = 0;
    int error = 0;
};

const ReplyRow kReplies[] = {
    {"7 sent", Outcome::Sent},
    {"7 reply ip-4 198.18.1.2 code 0 round-trip-us 1234", Outcome::Reply, 0, 1234},
    {"7 ttl-expired ip-6 fe80::9 scope 3 code 0 round-trip-us 5", Outcome::TtlExpired, 0, 5, 3},
    {"7 unreachable ip-4 198.18.0.1 code 13 round-trip-us 600000000", Outcome::Unreachable, 13,
     600000000},
    {"7 no-reply", Outcome::NoReply},
    {"7 probes-exhausted", Outcome::ProbesExhausted},
    {"7 permission-denied", Outcome::PermissionDenied},
    {"0 invalid-argument", Outcome::InvalidArgument},
    {"8 send-error errno 101", Outcome::SendError, 0, 0, 0, 101},
    // An answer names its source, code and time, all three; nothing else rides along.
    {"7 reply ip-4 198.18.1.2 round-trip-us 1234"},
    {"7 reply ip-4 198.18.1.2 code 0"},
    {"7 reply ip-6 fe80::9 scope 3 code 0"},
    {"7 reply ip-6 fe80::9 scope 3 round-trip-us 5"},
    {"7 reply ip-4 198.18.1.2 code 256 round-trip-us 1"},
    {"7 reply ip-4 198.18.1.2 code 0 round-trip-us 600000001"},
    {"7 reply ip-4 198.18.1.2 scope 1 code 0 round-trip-us 1"},
    {"7 no-reply extra"},
    {"7 sent-ish"},
    {"8 send-error errno 4096"},
    {"8 send-error 101"},
};

TEST(ProbeProtocol, ReplyLines) {
    for (const auto& row : kReplies) {
        SCOPED_TRACE(row.line);
        const auto reply = probeline::ParseReply(row.line);
        ASSERT_EQ(reply.has_value(), row.outcome.has_value());
        if (!reply)
            continue;
        EXPECT_EQ(reply->token, std::stoul(row.line)); // the line's leading number
        EXPECT_EQ(reply->outcome, *row.outcome);
        EXPECT_EQ(reply->code, row.code);
        EXPECT_EQ(reply->roundTripUs, row.roundTripUs);
        EXPECT_EQ(reply->scope, row.scope);
        EXPECT_EQ(reply->error, row.error);
        EXPECT_EQ(probeline::FormatReply(*reply), row.line);
    }
}

TEST(ProbeProtocol, Greeting) {
    const struct {
        const char* line;
        bool ok, v4, v6;
    } rows[] = {{"ready", true, false, false},         {"ready ip-6", true, false, true},
                {"ready ip-4 ip-6", true, true, true}, {"ready ip-4 ip-4", false, false, false},
                {"ready ip-5", false, false, false},   {"1 sent", false, false, false}};
    for (const auto& row : rows) {
        bool v4 = true, v6 = true;
        EXPECT_EQ(probeline::ParseReady(row.line, v4, v6), row.ok) << row.line;
        if (row.ok) {
            EXPECT_EQ(v4, row.v4) << row.line;
            EXPECT_EQ(v6, row.v6) << row.line;
            EXPECT_EQ(probeline::FormatReady(v4, v6), row.line);
        }
    }
}

} // namespace
