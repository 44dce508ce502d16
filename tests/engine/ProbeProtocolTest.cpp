// The probe helper's request and reply lines: what a user may feed the helper, what it
// refuses, and what each side reads back of the other's lines.
#include "engine/ProbeProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using probeline::Outcome;

struct RequestRow {
    std::string_view line;
    bool accepted;
    uint32_t token;        // the token read, also from a refused line
    std::string canonical; // what FormatRequest writes of an accepted one
};

const RequestRow kRequests[] = {
    {"1 send-probe ip-4 198.18.1.2", true, 1, "1 send-probe ip-4 198.18.1.2 timeout-us 1000000"},
    {"  12  send-probe  ip-4 198.18.1.2  ttl 255 timeout-us 600000000 ", true, 12,
     "12 send-probe ip-4 198.18.1.2 ttl 255 timeout-us 600000000"},
    {"999999999 send-probe ip-6 fe80::1 scope 4294967295 ttl 1 timeout-us 1", true, 999999999,
     "999999999 send-probe ip-6 fe80::1 ttl 1 timeout-us 1 scope 4294967295"},
    // The token: 1 to 999999999, digits only.
    {"0 send-probe ip-4 198.18.1.2", false, 0, ""},
    {"1000000000 send-probe ip-4 198.18.1.2", false, 0, ""},
    {"-1 send-probe ip-4 198.18.1.2", false, 0, ""},
    {"", false, 0, ""},
    // Limits, at the limit above and one past.
    {"2 send-probe ip-4 198.18.1.2 ttl 256", false, 2, ""},
    {"2 send-probe ip-4 198.18.1.2 ttl 0", false, 2, ""},
    {"2 send-probe ip-4 198.18.1.2 timeout-us 600000001", false, 2, ""},
    {"2 send-probe ip-4 198.18.1.2 timeout-us 0", false, 2, ""},
    {"2 send-probe ip-6 fe80::1 scope 4294967296", false, 2, ""},
    // Only one unicast host: nothing that reaches a whole link, nothing unspecified.
    {"3 send-probe ip-4 255.255.255.255", false, 3, ""},
    {"3 send-probe ip-4 0.0.0.0", false, 3, ""},
    {"3 send-probe ip-4 224.0.0.1", false, 3, ""},
    {"3 send-probe ip-4 239.255.255.255", false, 3, ""},
    {"3 send-probe ip-4 223.255.255.254", true, 3,
     "3 send-probe ip-4 223.255.255.254 timeout-us 1000000"},
    {"3 send-probe ip-6 ::", false, 3, ""},
    {"3 send-probe ip-6 ff02::1", false, 3, ""},
    // The address matches its family; a zone goes only with IPv6.
    {"4 send-probe ip-4 ::1", false, 4, ""},
    {"4 send-probe ip-6 127.0.0.1", false, 4, ""},
    {"4 send-probe ip-4 127.0.0.1 scope 2", false, 4, ""},
    {std::string_view("4 send-probe ip-4 127.0.0.1\0x", 29), false, 4, ""},
    // No other command, no key twice, no key without a value, nothing unknown.
    {"5 send-raw ip-4 127.0.0.1", false, 5, ""},
    {"5 send-probe ip-4 127.0.0.1 ttl 3 ttl 4", false, 5, ""},
    {"5 send-probe ip-4 127.0.0.1 ttl", false, 5, ""},
    {"5 send-probe ip-4 127.0.0.1 size 9000", false, 5, ""},
    {"5 send-probe ip-4 127.0.0.1 ttl 0x10", false, 5, ""},
};

TEST(ProbeProtocol, RequestLines) {
    for (const auto& row : kRequests) {
        uint32_t token = 77;
        const auto request = probeline::ParseRequest(row.line, token);
        EXPECT_EQ(request.has_value(), row.accepted) << row.line;
        EXPECT_EQ(token, row.token) << row.line;
        if (request && row.accepted) {
            EXPECT_EQ(probeline::FormatRequest(*request), row.canonical) << row.line;
        }
    }
    // A line past the longest is refused, one at it is read.
    std::string longest = "6 send-probe ip-4 127.0.0.1 ttl 9";
    longest.insert(1, probeline::MaxLine - longest.size(), ' ');
    uint32_t token = 0;
    EXPECT_TRUE(probeline::ParseRequest(longest, token));
    EXPECT_FALSE(probeline::ParseRequest(longest + " ", token));
}

struct ReplyRow {
    const char* line;
    bool accepted;
    Outcome outcome;
    int code;
    uint64_t roundTripUs;
    uint32_t scope;
};

const ReplyRow kReplies[] = {
    {"7 sent", true, Outcome::Sent, 0, 0, 0},
    {"7 reply ip-4 198.18.1.2 code 0 round-trip-us 1234", true, Outcome::Reply, 0, 1234, 0},
    {"7 ttl-expired ip-6 fe80::9 scope 3 code 0 round-trip-us 5", true, Outcome::TtlExpired, 0, 5,
     3},
    {"7 unreachable ip-4 198.18.0.1 code 13 round-trip-us 600000000", true, Outcome::Unreachable,
     13, 600000000, 0},
    {"7 no-reply", true, Outcome::NoReply, 0, 0, 0},
    {"7 probes-exhausted", true, Outcome::ProbesExhausted, 0, 0, 0},
    {"7 permission-denied", true, Outcome::PermissionDenied, 0, 0, 0},
    {"0 invalid-argument", true, Outcome::InvalidArgument, 0, 0, 0},
    // An answer names its source, code and time, all three; nothing else rides along.
    {"7 reply ip-4 198.18.1.2 round-trip-us 1234", false, Outcome::Reply, 0, 0, 0},
    {"7 reply ip-4 198.18.1.2 code 0", false, Outcome::Reply, 0, 0, 0},
    {"7 reply ip-6 fe80::9 scope 3 code 0", false, Outcome::Reply, 0, 0, 0},
    {"7 reply ip-6 fe80::9 scope 3 round-trip-us 5", false, Outcome::Reply, 0, 0, 0},
    {"7 reply ip-4 198.18.1.2 code 256 round-trip-us 1", false, Outcome::Reply, 0, 0, 0},
    {"7 reply ip-4 198.18.1.2 code 0 round-trip-us 600000001", false, Outcome::Reply, 0, 0, 0},
    {"7 reply ip-4 198.18.1.2 scope 1 code 0 round-trip-us 1", false, Outcome::Reply, 0, 0, 0},
    {"7 no-reply extra", false, Outcome::NoReply, 0, 0, 0},
    {"7 sent-ish", false, Outcome::Sent, 0, 0, 0},
};

TEST(ProbeProtocol, ReplyLines) {
    for (const auto& row : kReplies) {
        const auto reply = probeline::ParseReply(row.line);
        ASSERT_EQ(reply.has_value(), row.accepted) << row.line;
        if (!reply)
            continue;
        EXPECT_EQ(reply->token, std::string(row.line).starts_with("0 ") ? 0u : 7u) << row.line;
        EXPECT_EQ(reply->outcome, row.outcome) << row.line;
        EXPECT_EQ(reply->code, row.code) << row.line;
        EXPECT_EQ(reply->roundTripUs, row.roundTripUs) << row.line;
        EXPECT_EQ(reply->scope, row.scope) << row.line;
        EXPECT_EQ(probeline::FormatReply(*reply), row.line);
    }
    const auto failed = probeline::ParseReply("8 send-error errno 101");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->error, 101);
    EXPECT_FALSE(probeline::ParseReply("8 send-error errno 4096"));
    EXPECT_FALSE(probeline::ParseReply("8 send-error 101"));
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
