#include "engine/ProbeProtocol.h"

#include <cstring>
#include <vector>

#include <arpa/inet.h>

namespace probeline {

namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size() && words.size() <= 16) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Decimal digits only, at most `max`.
bool Number(std::string_view word, uint64_t max, uint64_t& value) {
    if (word.empty() || word.size() > 12)
        return false;
    value = 0;
    for (const char c : word) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + uint64_t(c - '0');
    }
    return value <= max;
}

bool Address(std::string_view family, std::string_view text, bool& v6,
             std::array<uint8_t, 16>& address) {
    if (family != "ip-4" && family != "ip-6")
        return false;
    v6 = family == "ip-6";
    if (text.size() >= INET6_ADDRSTRLEN || text.find('\0') != std::string_view::npos)
        return false;
    char buffer[INET6_ADDRSTRLEN] = {};
    std::memcpy(buffer, text.data(), text.size());
    address.fill(0);
    return ::inet_pton(v6 ? AF_INET6 : AF_INET, buffer, address.data()) == 1;
}

// Only a host of its own may be probed: nothing that reaches every host of a link.
bool Unicast(bool v6, const std::array<uint8_t, 16>& a) {
    if (v6) {
        static const std::array<uint8_t, 16> unspecified{};
        return a != unspecified && a[0] != 0xff;
    }
    const bool zero = a[0] == 0 && a[1] == 0 && a[2] == 0 && a[3] == 0;
    const bool broadcast = a[0] == 255 && a[1] == 255 && a[2] == 255 && a[3] == 255;
    const bool multicast = (a[0] & 0xf0) == 0xe0;
    return !zero && !broadcast && !multicast;
}

std::string AddressText(bool v6, const std::array<uint8_t, 16>& address) {
    char buffer[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(v6 ? AF_INET6 : AF_INET, address.data(), buffer, sizeof buffer);
    return buffer;
}

struct OutcomeName {
    Outcome outcome;
    const char* name;
};
constexpr OutcomeName kOutcomes[] = {
    {Outcome::Sent, "sent"},
    {Outcome::Reply, "reply"},
    {Outcome::TtlExpired, "ttl-expired"},
    {Outcome::Unreachable, "unreachable"},
    {Outcome::NoReply, "no-reply"},
    {Outcome::InvalidArgument, "invalid-argument"},
    {Outcome::ProbesExhausted, "probes-exhausted"},
    {Outcome::PermissionDenied, "permission-denied"},
    {Outcome::SendError, "send-error"},
};

bool Answered(Outcome outcome) {
    return outcome == Outcome::Reply || outcome == Outcome::TtlExpired ||
           outcome == Outcome::Unreachable;
}

} // namespace

std::optional<Request> ParseRequest(std::string_view line, uint32_t& token) {
    token = 0;
    if (line.size() > MaxLine)
        return std::nullopt;
    const auto words = Words(line);
    uint64_t value = 0;
    if (words.empty() || !Number(words[0], MaxToken, value) || value == 0)
        return std::nullopt;
    token = uint32_t(value);
    Request request;
    request.token = token;
    if (words.size() < 4 || words.size() % 2 != 0 || words[1] != "send-probe" ||
        !Address(words[2], words[3], request.v6, request.address) ||
        !Unicast(request.v6, request.address))
        return std::nullopt;
    bool seenTtl = false, seenTimeout = false, seenScope = false;
    for (size_t i = 4; i + 1 < words.size(); i += 2) {
        const std::string_view key = words[i];
        bool* seen = key == "ttl"          ? &seenTtl
                     : key == "timeout-us" ? &seenTimeout
                     : key == "scope"      ? &seenScope
                                           : nullptr;
        if (!seen || *seen)
            return std::nullopt;
        *seen = true;
        if (key == "ttl") {
            if (!Number(words[i + 1], 255, value) || value == 0)
                return std::nullopt;
            request.ttl = int(value);
        } else if (key == "timeout-us") {
            if (!Number(words[i + 1], MaxTimeoutUs, value) || value == 0)
                return std::nullopt;
            request.timeoutUs = value;
        } else {
            if (!request.v6 || !Number(words[i + 1], UINT32_MAX, value))
                return std::nullopt;
            request.scope = uint32_t(value);
        }
    }
    return request;
}

std::string FormatRequest(const Request& request) {
    std::string line = std::to_string(request.token) + " send-probe " +
                       (request.v6 ? "ip-6 " : "ip-4 ") + AddressText(request.v6, request.address);
    if (request.ttl > 0)
        line += " ttl " + std::to_string(request.ttl);
    line += " timeout-us " + std::to_string(request.timeoutUs);
    if (request.v6 && request.scope != 0)
        line += " scope " + std::to_string(request.scope);
    return line;
}

std::string FormatReply(const Reply& reply) {
    std::string line = std::to_string(reply.token);
    for (const auto& o : kOutcomes)
        if (o.outcome == reply.outcome)
            line += std::string(" ") + o.name;
    if (Answered(reply.outcome)) {
        line += (reply.v6 ? " ip-6 " : " ip-4 ") + AddressText(reply.v6, reply.source);
        if (reply.v6 && reply.scope != 0)
            line += " scope " + std::to_string(reply.scope);
        line += " code " + std::to_string(reply.code) + " round-trip-us " +
                std::to_string(reply.roundTripUs);
    } else if (reply.outcome == Outcome::SendError) {
        line += " errno " + std::to_string(reply.error);
    }
    return line;
}

std::optional<Reply> ParseReply(std::string_view line) {
    if (line.size() > MaxLine)
        return std::nullopt;
    const auto words = Words(line);
    uint64_t value = 0;
    if (words.size() < 2 || !Number(words[0], MaxToken, value))
        return std::nullopt;
    Reply reply;
    reply.token = uint32_t(value);
    const OutcomeName* named = nullptr;
    for (const auto& o : kOutcomes)
        if (words[1] == o.name)
            named = &o;
    if (!named)
        return std::nullopt;
    reply.outcome = named->outcome;
    if (reply.outcome == Outcome::SendError) {
        if (words.size() != 4 || words[2] != "errno" || !Number(words[3], 4095, value))
            return std::nullopt;
        reply.error = int(value);
        return reply;
    }
    if (!Answered(reply.outcome))
        return words.size() == 2 ? std::optional<Reply>(reply) : std::nullopt;
    if (words.size() < 8 || words.size() % 2 != 0 ||
        !Address(words[2], words[3], reply.v6, reply.source))
        return std::nullopt;
    bool seenCode = false, seenTime = false;
    for (size_t i = 4; i + 1 < words.size(); i += 2) {
        const std::string_view key = words[i];
        if (key == "scope" && reply.v6 && Number(words[i + 1], UINT32_MAX, value)) {
            reply.scope = uint32_t(value);
        } else if (key == "code" && Number(words[i + 1], 255, value)) {
            reply.code = int(value);
            seenCode = true;
        } else if (key == "round-trip-us" && Number(words[i + 1], MaxTimeoutUs, value)) {
            reply.roundTripUs = value;
            seenTime = true;
        } else {
            return std::nullopt;
        }
    }
    return seenCode && seenTime ? std::optional<Reply>(reply) : std::nullopt;
}

std::string FormatReady(bool v4, bool v6) {
    return std::string("ready") + (v4 ? " ip-4" : "") + (v6 ? " ip-6" : "");
}

bool ParseReady(std::string_view line, bool& v4, bool& v6) {
    v4 = v6 = false;
    const auto words = Words(line);
    if (words.empty() || words[0] != "ready" || words.size() > 3)
        return false;
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "ip-4" && !v4)
            v4 = true;
        else if (words[i] == "ip-6" && !v6)
            v6 = true;
        else
            return false;
    }
    return true;
}

} // namespace probeline
