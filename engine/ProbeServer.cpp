#include "engine/ProbeServer.h"

#include "engine/IcmpFlight.h"
#include "engine/ProbeProtocol.h"
#include "platform/Cancel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

namespace probeserver {

namespace {

using namespace icmpflight;

struct Flight {
    probeline::Request request;
    Probe probe;
    bool sent = false;
};

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

probeline::Reply Answer(const Flight& flight) {
    const Probe& probe = flight.probe;
    probeline::Reply reply;
    reply.token = flight.request.token;
    reply.outcome = probe.kind == icmp::ReplyKind::EchoReply      ? probeline::Outcome::Reply
                    : probe.kind == icmp::ReplyKind::TimeExceeded ? probeline::Outcome::TtlExpired
                                                                  : probeline::Outcome::Unreachable;
    reply.v6 = flight.request.v6;
    if (reply.v6) {
        std::memcpy(reply.source.data(), probe.source6.data(), 16);
        reply.scope = probe.scope6;
        reply.code = probe.reply[1];
    } else {
        // As the raw socket delivered it: the IPv4 header, then the ICMP message.
        std::memcpy(reply.source.data(), &probe.reply[12], 4);
        const size_t header = size_t(probe.reply[0] & 0x0f) * 4;
        reply.code = header + 1 < probe.reply.size() ? probe.reply[header + 1] : 0;
    }
    reply.roundTripUs =
        uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(probe.RoundTrip()).count());
    return reply;
}

Destination DestinationOf(const probeline::Request& request) {
    Destination to;
    to.v6 = request.v6;
    if (to.v6) {
        std::memcpy(to.address6.data(), request.address.data(), 16);
        to.scope6 = request.scope;
    } else {
        std::memcpy(&to.v4, request.address.data(), 4);
    }
    return to;
}

class Server {
public:
    Server(int out, const IcmpSocket& v4, const IcmpSocket& v6, const Limits& limits)
        : out_(out), v4_(v4), v6_(v6), limits_(limits), tokens_(limits.burst),
          refilled_(Clock::now()) {}

    bool Say(uint32_t token, probeline::Outcome outcome, int error = 0) {
        probeline::Reply reply;
        reply.token = token;
        reply.outcome = outcome;
        reply.error = error;
        return Say(reply);
    }
    bool Say(const probeline::Reply& reply) {
        return WriteAll(out_, probeline::FormatReply(reply) + "\n");
    }

    bool Take(std::string line) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        uint32_t token = 0;
        const auto request = probeline::ParseRequest(line, token);
        if (!request)
            return Say(token, probeline::Outcome::InvalidArgument);
        if (Socket(request->v6).Handle == winsock::INVALID_SOCKET)
            return Say(token, probeline::Outcome::PermissionDenied);
        if (int(flights_.size()) >= limits_.inFlight || count_ >= limits_.total)
            return Say(token, probeline::Outcome::ProbesExhausted);
        ++count_;
        auto flight = std::make_unique<Flight>();
        flight->request = *request;
        // A router's message about the probe answers it too; the asker decides what counts.
        flight->probe.routeErrors = true;
        flights_.push_back(std::move(flight));
        return true;
    }

    // Sends what waits, as far as the rate allows.
    bool SendWaiting() {
        const auto now = Clock::now();
        const double earned =
            std::chrono::duration<double>(now - refilled_).count() * double(limits_.perSecond);
        tokens_ = std::min(double(limits_.burst), tokens_ + earned);
        refilled_ = now;
        for (auto it = flights_.begin(); it != flights_.end();) {
            Flight& f = **it;
            if (f.sent) {
                ++it;
                continue;
            }
            if (tokens_ < 1)
                break;
            tokens_ -= 1;
            const IcmpSocket& socket = Socket(f.request.v6);
            if (f.request.ttl == 0) {
                // An earlier request may have set one: back to the system's default.
                const int standard = -1;
                ::setsockopt(socket.Handle, f.request.v6 ? IPPROTO_IPV6 : IPPROTO_IP,
                             f.request.v6 ? IPV6_UNICAST_HOPS : IP_TTL, &standard, sizeof standard);
            }
            const bool sent =
                SendProbe(socket, DestinationOf(f.request), f.probe, ++sequence_, f.request.ttl,
                          std::chrono::microseconds(f.request.timeoutUs));
            const int error = errno;
            if (!(sent ? Say(f.request.token, probeline::Outcome::Sent)
                       : Say(f.request.token, probeline::Outcome::SendError, error)))
                return false;
            if (sent) {
                f.sent = true;
                ++it;
            } else {
                it = flights_.erase(it);
            }
        }
        return true;
    }

    // Reports each settled probe once, and forgets it.
    bool Report() {
        const auto now = Clock::now();
        for (auto it = flights_.begin(); it != flights_.end();) {
            const Flight& f = **it;
            bool said = true;
            if (f.sent && f.probe.answered)
                said = Say(Answer(f));
            else if (f.sent && f.probe.deadline <= now)
                said = Say(f.request.token, probeline::Outcome::NoReply);
            else {
                ++it;
                continue;
            }
            if (!said)
                return false;
            it = flights_.erase(it);
        }
        return true;
    }

    // When the loop must wake without input: the nearest deadline, or the next rate token.
    Clock::time_point WakeAt() const {
        auto at = Clock::time_point::max();
        bool waiting = false;
        for (const auto& f : flights_) {
            if (f->sent)
                at = std::min(at, f->probe.deadline);
            else
                waiting = true;
        }
        if (waiting) {
            const auto refill = std::chrono::duration<double>((1 - tokens_) / limits_.perSecond);
            at = std::min(at, refilled_ + std::chrono::duration_cast<Clock::duration>(refill));
        }
        return at;
    }

    void Read(bool v6) {
        std::vector<Probe*> flying;
        for (auto& f : flights_)
            if (f->sent && !f->probe.Settled() && f->request.v6 == v6)
                flying.push_back(&f->probe);
        ReadArrived(Socket(v6), flying);
    }

private:
    const IcmpSocket& Socket(bool v6) const { return v6 ? v6_ : v4_; }

    int out_;
    const IcmpSocket& v4_;
    const IcmpSocket& v6_;
    Limits limits_;
    double tokens_;
    Clock::time_point refilled_;
    uint32_t count_ = 0;
    uint16_t sequence_ = 0;
    std::vector<std::unique_ptr<Flight>> flights_;
};

} // namespace

int Serve(int in, int out, const IcmpSocket& v4, const IcmpSocket& v6, const Limits& limits) {
    Server server(out, v4, v6, limits);
    std::string buffer;
    bool discarding = false; // inside a line longer than any request
    for (;;) {
        if (!server.SendWaiting() || !server.Report())
            return 1;
        pollfd fds[3] = {{in, POLLIN, 0}, {v4.Handle, POLLIN, 0}, {v6.Handle, POLLIN, 0}};
        const auto at = server.WakeAt();
        std::chrono::microseconds wait(-1);
        if (at != Clock::time_point::max())
            wait = std::max(std::chrono::microseconds(0),
                            std::chrono::ceil<std::chrono::microseconds>(at - Clock::now()));
        if (platform::PollCancellable(fds, 3, wait) < 0)
            return 1;
        if (fds[1].revents)
            server.Read(false);
        if (fds[2].revents)
            server.Read(true);
        if (!fds[0].revents)
            continue;
        char chunk[4096];
        const ssize_t n = ::read(in, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return n == 0 ? 0 : 1;
        buffer.append(chunk, size_t(n));
        size_t start = 0, end;
        while ((end = buffer.find('\n', start)) != std::string::npos) {
            if (!discarding && !server.Take(buffer.substr(start, end - start)))
                return 1;
            discarding = false;
            start = end + 1;
        }
        buffer.erase(0, start);
        // A CR that ends the longest line may come in one read and its LF in the next.
        if (buffer.size() > probeline::MaxLine + (!buffer.empty() && buffer.back() == '\r')) {
            if (!discarding && !server.Say(0, probeline::Outcome::InvalidArgument))
                return 1;
            discarding = true;
            buffer.clear();
        }
    }
}

} // namespace probeserver
