#include "tests/soak/SlowAccept.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace soak {

SlowAccept::SlowAccept(const std::string& address, uint16_t port, std::chrono::milliseconds delay,
                       std::string answer)
    : delay_(delay), answer_(std::move(answer)) {
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0)
        return;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd, 64) != 0) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    listenFd_ = fd;
    thread_ = std::thread([this] { Loop(); });
}

SlowAccept::~SlowAccept() {
    Stop();
}

void SlowAccept::Stop() {
    if (thread_.joinable()) {
        [[maybe_unused]] auto n = ::write(stopPipe_[1], "x", 1);
        thread_.join();
    }
    for (int* fd : {&listenFd_, &stopPipe_[0], &stopPipe_[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool SlowAccept::Wait(int fd, std::chrono::milliseconds span) {
    pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
    const int n = ::poll(fds, fd >= 0 ? 2 : 1, static_cast<int>(span.count()));
    return n >= 0 && !(fds[0].revents & POLLIN);
}

void SlowAccept::Loop() {
    for (;;) {
        if (!Wait(listenFd_, std::chrono::hours(1)))
            return;
        // A connection waits in the queue; let it wait.
        if (!Wait(-1, delay_))
            return;
        const int conn = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (conn < 0)
            continue;
        std::string request;
        char buf[512];
        while (request.find("\r\n") == std::string::npos &&
               Wait(conn, std::chrono::milliseconds(2000))) {
            const ssize_t got = ::recv(conn, buf, sizeof buf, 0);
            if (got <= 0)
                break;
            request.append(buf, static_cast<size_t>(got));
        }
        [[maybe_unused]] auto sent = ::send(conn, answer_.data(), answer_.size(), MSG_NOSIGNAL);
        ::close(conn);
    }
}

} // namespace soak
