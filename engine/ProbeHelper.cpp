#include "engine/ProbeHelper.h"

#include "engine/IcmpPacket.h"
#include "platform/Cancel.h"
#include "platform/WinSock.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace icmpflight;

namespace {

// The helper answers its greeting and each "sent" at once; this only bounds a helper that
// hangs, so a probe never waits on it for ever.
constexpr auto HelperAnswer = std::chrono::seconds(5);

std::string DirectoryOfSelf() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string self(path, size_t(n));
    const size_t slash = self.rfind('/');
    return slash == std::string::npos ? std::string() : self.substr(0, slash);
}

// Complete lines taken off the front of `buffer`.
std::vector<std::string> TakeLines(std::string& buffer) {
    std::vector<std::string> lines;
    size_t start = 0, end;
    while ((end = buffer.find('\n', start)) != std::string::npos) {
        lines.push_back(buffer.substr(start, end - start));
        start = end + 1;
    }
    buffer.erase(0, start);
    return lines;
}

void Settle(Probe& probe, const probeline::Reply& reply) {
    const bool v6 = probe.to.v6;
    uint8_t type;
    switch (reply.outcome) {
    case probeline::Outcome::Reply:
        probe.kind = icmp::ReplyKind::EchoReply;
        type = v6 ? icmp::Type6EchoReply : icmp::TypeEchoReply;
        break;
    case probeline::Outcome::TtlExpired:
        probe.kind = icmp::ReplyKind::TimeExceeded;
        type = v6 ? icmp::Type6TimeExceeded : icmp::TypeTimeExceeded;
        break;
    default:
        probe.kind = icmp::ReplyKind::Unreachable;
        type = v6 ? icmp::Type6Unreachable : icmp::TypeUnreachable;
        break;
    }
    // The record reads the answer's source and type as from a socket of our own.
    const uint8_t message[8] = {type, uint8_t(reply.code)};
    if (v6) {
        probe.reply.fill(0);
        std::memcpy(probe.reply.data(), message, sizeof message);
        std::memcpy(probe.source6.data(), reply.source.data(), 16);
        probe.scope6 = reply.scope;
    } else {
        uint32_t source;
        std::memcpy(&source, reply.source.data(), 4);
        icmp::LayOutAsRaw(source, probe.to.v4, message, sizeof message, probe.reply);
    }
    probe.answered = true;
    probe.arrived = probe.sent + std::chrono::microseconds(reply.roundTripUs);
}

} // namespace

std::string ProbeHelper::Path() {
    if (const char* chosen = std::getenv("ZW_PROBE_HELPER"))
        return chosen;
    const std::string here = DirectoryOfSelf();
    if (here.empty())
        return {};
    for (const char* relative : {"/zindor-probe", "/../libexec/zindor-whois/zindor-probe"}) {
        const std::string candidate = here + relative;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::shared_ptr<ProbeHelper> ProbeHelper::Start(int family, int& error) {
    error = winsock::WSAEACCES;
    const std::string path = Path();
    if (path.empty())
        return nullptr;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return nullptr;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    ::posix_spawnattr_init(&attributes);
    // Its own process group, so a terminal's Ctrl-C reaches only this program, which then
    // ends the helper; no signal blocked or ignored by this thread carries over.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &all);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                POSIX_SPAWN_SETPGROUP);
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    char* const envp[] = {nullptr}; // it reads nothing from the environment
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, envp);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);
    if (rc != 0) {
        ::close(ends[0]);
        return nullptr;
    }
    std::shared_ptr<ProbeHelper> helper(new ProbeHelper(pid, ends[0]));
    const auto until = Clock::now() + HelperAnswer;
    for (;;) {
        const size_t end = helper->buffer_.find('\n');
        if (end != std::string::npos) {
            bool v4 = false, v6 = false;
            const bool ready = probeline::ParseReady(helper->buffer_.substr(0, end), v4, v6);
            helper->buffer_.erase(0, end + 1);
            helper->greeted_ = true;
            if (ready && (family == AF_INET6 ? v6 : v4)) {
                error = 0;
                return helper;
            }
            return nullptr;
        }
        if (Clock::now() >= until || !helper->Read(until, nullptr)) {
            if (winsock::WSAGetLastError() == winsock::WSAEINTR)
                error = winsock::WSAEINTR;
            return nullptr;
        }
    }
}

ProbeHelper::~ProbeHelper() {
    ::close(fd_);
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
}

bool ProbeHelper::Read(Clock::time_point until, Clock::time_point* readFrom) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - Clock::now());
    pollfd p{fd_, POLLIN, 0};
    const int rc =
        platform::PollCancellable(&p, 1, left.count() > 0 ? left : std::chrono::microseconds(0));
    if (rc < 0) {
        winsock::WSASetLastError(winsock::WSAEINTR);
        return false;
    }
    if (readFrom)
        *readFrom = Clock::now();
    if (rc == 0)
        return true;
    char chunk[4096];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) {
        winsock::WSASetLastError(winsock::WSAENETDOWN);
        return false;
    }
    if (n > 0)
        buffer_.append(chunk, size_t(n));
    // A helper that writes no line ending is not a helper.
    if (buffer_.size() > 64 * probeline::MaxLine && buffer_.find('\n') == std::string::npos) {
        winsock::WSASetLastError(winsock::WSAENETDOWN);
        return false;
    }
    if (greeted_)
        for (const std::string& line : TakeLines(buffer_))
            if (auto reply = probeline::ParseReply(line))
                replies_.push_back(*reply);
    return true;
}

bool ProbeHelper::Send(Probe& probe, int ttl, Clock::duration wait) {
    nextToken_ = nextToken_ >= probeline::MaxToken ? 1 : nextToken_ + 1;
    probeline::Request request;
    request.token = nextToken_;
    request.v6 = probe.to.v6;
    if (request.v6) {
        std::memcpy(request.address.data(), probe.to.address6.data(), 16);
        request.scope = probe.to.scope6;
    } else {
        std::memcpy(request.address.data(), &probe.to.v4, 4);
    }
    request.ttl = ttl;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(wait).count();
    request.timeoutUs = uint64_t(std::clamp<int64_t>(us, 1, int64_t(probeline::MaxTimeoutUs)));
    probe.token = request.token;
    const std::string line = probeline::FormatRequest(request) + "\n";
    if (::send(fd_, line.data(), line.size(), MSG_NOSIGNAL) != ssize_t(line.size())) {
        winsock::WSASetLastError(winsock::WSAENETDOWN);
        return false;
    }
    const auto until = Clock::now() + HelperAnswer;
    for (;;) {
        for (auto it = replies_.begin(); it != replies_.end(); ++it) {
            if (it->token != probe.token)
                continue;
            const probeline::Reply reply = *it;
            replies_.erase(it);
            switch (reply.outcome) {
            case probeline::Outcome::Sent:
                probe.sent = Clock::now();
                probe.deadline = probe.sent + wait;
                return true;
            case probeline::Outcome::SendError:
                winsock::WSASetLastError(winsock::ErrnoToWinSock(reply.error));
                return false;
            case probeline::Outcome::PermissionDenied:
                winsock::WSASetLastError(winsock::WSAEACCES);
                return false;
            case probeline::Outcome::ProbesExhausted:
                winsock::WSASetLastError(winsock::WSAENOBUFS);
                return false;
            default:
                winsock::WSASetLastError(winsock::WSAEINVAL);
                return false;
            }
        }
        if (Clock::now() >= until) {
            winsock::WSASetLastError(winsock::WSAETIMEDOUT);
            return false;
        }
        if (!Read(until, nullptr))
            return false;
    }
}

bool ProbeHelper::Apply(const std::vector<Probe*>& probes) {
    bool settled = false;
    for (const probeline::Reply& reply : replies_) {
        const bool echo = reply.outcome == probeline::Outcome::Reply;
        const bool routeError = reply.outcome == probeline::Outcome::TtlExpired ||
                                reply.outcome == probeline::Outcome::Unreachable;
        for (Probe* probe : probes) {
            // As on a socket of our own: a router's message answers only a trace's probe.
            const bool answer = echo || (routeError && probe->routeErrors);
            if (answer && probe->token == reply.token && !probe->Settled() &&
                reply.v6 == probe->to.v6) {
                Settle(*probe, reply);
                settled = true;
            }
        }
    }
    // What no probe in flight takes is late: its probe was given up on.
    replies_.clear();
    return settled;
}

Awaited ProbeHelper::Await(const std::vector<Probe*>& probes, Clock::time_point until,
                           Clock::time_point* readFrom) {
    if (Apply(probes)) {
        if (readFrom)
            *readFrom = Clock::now();
        return Awaited::Read;
    }
    Clock::time_point readAt;
    if (!Read(until, &readAt)) {
        return winsock::WSAGetLastError() == winsock::WSAEINTR ? Awaited::Stopped
                                                               : Awaited::ReceiveFailed;
    }
    if (readFrom)
        *readFrom = readAt;
    if (readAt >= until && replies_.empty())
        return Awaited::TimedOut;
    Apply(probes);
    return Awaited::Read;
}
