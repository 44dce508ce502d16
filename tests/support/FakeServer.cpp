#include "tests/support/FakeServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

int MsUntil(Clock::time_point until) {
    auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

FakeServer::FakeServer(const std::string& address, uint16_t port, Script script)
    : FakeServer(address, port, std::move(script), Options()) {}

FakeServer::FakeServer(const std::string& address, uint16_t port, Script script, Options options)
    : script_(std::move(script)), options_(std::move(options)) {
    deadline_ = Clock::now() + options_.lifetime;
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    // An IPv6 address listens on IPv6 alone.
    const bool v6 = address.find(':') != std::string::npos;
    int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (v6)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sockaddr_in6 sa6{};
    sa6.sin6_family = AF_INET6;
    sa6.sin6_port = htons(port);
    const bool parsed = v6 ? ::inet_pton(AF_INET6, address.c_str(), &sa6.sin6_addr) == 1
                           : ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) == 1;
    const int bound = !parsed ? -1
                      : v6    ? ::bind(fd, reinterpret_cast<sockaddr*>(&sa6), sizeof sa6)
                              : ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (fd < 0 || bound != 0 || ::listen(fd, 16) != 0) {
        error_ =
            "listening on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return;
    }
    listenFd_ = fd;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

FakeServer::~FakeServer() {
    Stop();
    if (listenFd_ >= 0)
        ::close(listenFd_);
    for (int fd : stopPipe_)
        if (fd >= 0)
            ::close(fd);
}

void FakeServer::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopped_)
            return;
        stopped_ = true;
    }
    if (stopPipe_[1] >= 0)
        (void)!::write(stopPipe_[1], "x", 1); // the pipe stays readable: wakes every wait
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::vector<Worker> all; // no more are added once the accept thread has ended
    {
        std::lock_guard lock(mutex_);
        all.swap(workers_);
    }
    for (auto& w : all)
        w.thread.join();
    changed_.notify_all();
}

// True when fd is readable before `until`; false on time-out or stop.
bool FakeServer::WaitReadable(int fd, Clock::time_point until) const {
    until = std::min(until, deadline_);
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        int n = ::poll(fds, 2, MsUntil(until));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || fds[1].revents)
            return false;
        return fds[0].revents != 0;
    }
}

// Sleeps for span unless the server stops first; returns false when it stopped.
bool FakeServer::Pause(milliseconds span) const {
    pollfd fd{stopPipe_[0], POLLIN, 0};
    return ::poll(&fd, 1, std::min(MsUntil(Clock::now() + span), MsUntil(deadline_))) == 0 &&
           Clock::now() < deadline_;
}

bool FakeServer::SendAll(int fd, const std::string& bytes) const {
    size_t sent = 0;
    while (sent < bytes.size()) {
        pollfd fds[2] = {{fd, POLLOUT, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, MsUntil(deadline_)) <= 0 || fds[1].revents)
            return false;
        ssize_t n =
            ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return false; // the client went away
        sent += static_cast<size_t>(n);
    }
    return true;
}

void FakeServer::AcceptLoop() {
    for (;;) {
        if (!WaitReadable(listenFd_, deadline_))
            return;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        JoinFinishedWorkers();
        std::lock_guard lock(mutex_);
        received_.emplace_back();
        size_t index = received_.size() - 1;
        workers_.push_back({std::thread([this, fd, index] { Serve(fd, index); })});
        changed_.notify_all();
    }
}

// A long run (a benchmark) makes thousands of connections; their threads must not pile up.
void FakeServer::JoinFinishedWorkers() {
    std::vector<std::thread> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (it->done) {
                finished.push_back(std::move(it->thread));
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& t : finished)
        t.join();
}

void FakeServer::Record(size_t index, const char* data, size_t size) {
    std::lock_guard lock(mutex_);
    received_[index].append(data, size);
}

void FakeServer::Serve(int fd, size_t index) {
    char buf[4096];
    std::string request;
    bool peerClosed = false;
    // Reads what is there; false when the peer has closed or failed.
    auto readSome = [&] {
        ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        if (n <= 0)
            return false;
        Record(index, buf, static_cast<size_t>(n));
        request.append(buf, static_cast<size_t>(n));
        return true;
    };

    bool go = options_.greeting.empty() || SendAll(fd, options_.greeting);
    if (go && !options_.requestEnd.empty()) {
        const auto until = Clock::now() + options_.requestWait;
        while (!EndsWith(request, options_.requestEnd) && !peerClosed) {
            if (!WaitReadable(fd, until))
                break;
            peerClosed = !readSome();
        }
    }
    FakeReply reply = script_(request);
    for (size_t i = 0; go && i < reply.chunks.size(); ++i) {
        if (i > 0 && reply.gap.count() > 0)
            go = Pause(reply.gap);
        go = go && SendAll(fd, reply.chunks[i]);
    }
    if (reply.end == FakeReply::End::Reset) {
        if (go && !reply.chunks.empty() && reply.gap.count() > 0)
            Pause(reply.gap);
        linger abort{1, 0}; // closing with a zero linger time sends RST
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        ::close(fd);
        MarkFinished();
        return;
    }
    // Close ends with our FIN; then, as with silence, wait for the client's close so that
    // anything it still sends is recorded and the end of its conversation is known.
    if (go && reply.end == FakeReply::End::Close)
        ::shutdown(fd, SHUT_WR);
    const auto until =
        reply.end == FakeReply::End::Close ? Clock::now() + milliseconds(5000) : deadline_;
    while (!peerClosed && WaitReadable(fd, until))
        peerClosed = !readSome();
    ::close(fd);
    MarkFinished();
}

// Called last by a connection's thread.
void FakeServer::MarkFinished() {
    std::lock_guard lock(mutex_);
    ++finished_;
    for (auto& w : workers_)
        if (w.thread.get_id() == std::this_thread::get_id())
            w.done = true;
    changed_.notify_all();
}

int FakeServer::Connections() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(received_.size());
}

int FakeServer::Finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

std::vector<std::string> FakeServer::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::string FakeServer::AllReceived() const {
    std::string all;
    for (const auto& r : Received())
        all += r;
    return all;
}

bool FakeServer::WaitConnections(int count, milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout,
                             [&] { return static_cast<int>(received_.size()) >= count; });
}

bool FakeServer::WaitFinished(int count, milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return finished_ >= count; });
}

FakeServer::Script FakeServer::Answer(std::string text) {
    return [text = std::move(text)](const std::string&) { return FakeReply{{text}}; };
}

FakeServer::Script FakeServer::AnswerByQuery(std::map<std::string, std::string> answers,
                                             std::string otherwise) {
    return [answers = std::move(answers), otherwise = std::move(otherwise)](const std::string& r) {
        std::string line = r.substr(0, r.find("\r\n"));
        auto it = answers.find(line);
        return FakeReply{{it == answers.end() ? otherwise : it->second}};
    };
}

FakeServer::Script FakeServer::CloseAtOnce() {
    return [](const std::string&) { return FakeReply{}; };
}

FakeServer::Script FakeServer::PartThenSilence(std::string part) {
    return [part = std::move(part)](const std::string&) {
        return FakeReply{{part}, milliseconds(0), FakeReply::End::Silence};
    };
}

FakeServer::Script FakeServer::Silence() {
    return [](const std::string&) {
        return FakeReply{{}, milliseconds(0), FakeReply::End::Silence};
    };
}

FakeServer::Script FakeServer::PartThenReset(std::string part, milliseconds gap) {
    return [part = std::move(part), gap](const std::string&) {
        std::vector<std::string> chunks;
        if (!part.empty())
            chunks.push_back(part);
        return FakeReply{chunks, gap, FakeReply::End::Reset};
    };
}

FakeServer::Script FakeServer::Chunks(std::vector<std::string> chunks, milliseconds gap) {
    return [chunks = std::move(chunks), gap](const std::string&) { return FakeReply{chunks, gap}; };
}

} // namespace testsupport
