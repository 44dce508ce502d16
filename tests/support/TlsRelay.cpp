#include "tests/support/TlsRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace testsupport {
namespace {

sockaddr_in Address(const std::string& address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    return sa;
}

} // namespace

bool MakeTestCertificate(const std::string& dir, const std::string& altNames, std::string& error) {
    std::string command = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                          "-nodes -days 2 -subj /CN=zw-test -addext subjectAltName=" +
                          altNames + " -keyout '" + dir + "/key.pem' -out '" + dir +
                          "/cert.pem' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        error = "openssl req failed: " + command;
        return false;
    }
    return true;
}

TlsRelay::TlsRelay(const std::string& address, uint16_t port, const std::string& backendAddress,
                   uint16_t backendPort, const std::string& certDir)
    : backendAddress_(backendAddress), backendPort_(backendPort) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    ctx_ = ctx;
    if (ctx == nullptr ||
        SSL_CTX_use_certificate_chain_file(ctx, (certDir + "/cert.pem").c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, (certDir + "/key.pem").c_str(), SSL_FILETYPE_PEM) != 1) {
        error_ = "cannot load the certificate of " + certDir;
        return;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa = Address(address, port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 16) != 0 ||
        ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        error_ = "cannot listen on " + address + ":" + std::to_string(port);
        ::close(fd);
        return;
    }
    listenFd_ = fd;
    thread_ = std::thread([this] { AcceptLoop(); });
}

TlsRelay::~TlsRelay() {
    if (stopPipe_[1] >= 0)
        (void)!::write(stopPipe_[1], "x", 1); // stays readable: ends every wait
    if (thread_.joinable())
        thread_.join();
    for (int fd : {listenFd_, stopPipe_[0], stopPipe_[1]})
        if (fd >= 0)
            ::close(fd);
    SSL_CTX_free(static_cast<SSL_CTX*>(ctx_));
}

void TlsRelay::AcceptLoop() {
    // Writing to a client that has gone must fail with EPIPE, not end the test program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || fds[1].revents != 0)
            return;
        int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            Relay(client);
    }
}

void TlsRelay::Relay(int client) {
    timeval limit{5, 0}; // a client that never finishes its handshake does not hold the relay
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    SSL* ssl = SSL_new(static_cast<SSL_CTX*>(ctx_));
    SSL_set_fd(ssl, client);
    int backend = -1; // connected at the first bytes, so a failed handshake reaches nobody
    if (SSL_accept(ssl) == 1) {
        char buffer[16384];
        for (bool open = true; open;) {
            pollfd fds[3] = {{client, POLLIN, 0}, {backend, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            if (SSL_pending(ssl) == 0 && ::poll(fds, 3, -1) < 0)
                break;
            if (fds[2].revents != 0)
                break;
            if (SSL_pending(ssl) > 0 || fds[0].revents != 0) {
                int n = SSL_read(ssl, buffer, sizeof buffer);
                if (n > 0 && backend < 0) {
                    backend = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                    sockaddr_in sa = Address(backendAddress_, backendPort_);
                    if (::connect(backend, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
                        break;
                }
                open = n > 0 && ::send(backend, buffer, static_cast<size_t>(n), MSG_NOSIGNAL) == n;
            } else if (fds[1].revents != 0) {
                ssize_t n = ::recv(backend, buffer, sizeof buffer, 0);
                open = n > 0 && SSL_write(ssl, buffer, static_cast<int>(n)) == n;
            }
        }
        SSL_shutdown(ssl);
    }
    ERR_clear_error();
    SSL_free(ssl);
    if (backend >= 0)
        ::close(backend);
    ::close(client);
}

} // namespace testsupport
