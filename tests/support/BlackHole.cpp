#include "tests/support/BlackHole.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

BlackHole::BlackHole(const std::string& address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    auto* addr = reinterpret_cast<sockaddr*>(&sa);

    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // Backlog 0 holds one finished connection; the filler takes that place and is never
    // accepted.
    if (listenFd_ < 0 || ::bind(listenFd_, addr, sizeof sa) != 0 || ::listen(listenFd_, 0) != 0) {
        error_ = "black hole listener on " + address + ": " + std::strerror(errno);
        return;
    }
    fillerFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fillerFd_ < 0 || ::connect(fillerFd_, addr, sizeof sa) != 0)
        error_ = "black hole filler on " + address + ": " + std::strerror(errno);
}

BlackHole::~BlackHole() {
    if (fillerFd_ >= 0)
        ::close(fillerFd_);
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

} // namespace testsupport
