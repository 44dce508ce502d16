#pragma once

#include <cstdint>
#include <string>
#include <thread>

namespace testsupport {

// Writes a self-signed certificate and its key (cert.pem, key.pem in `dir`) for the subject
// alternative names given ("IP:127.0.0.2,DNS:rdap.a.test"), with the openssl command. The
// certificate is its own CA: pass cert.pem as the CA file, or lay it over the system's store.
bool MakeTestCertificate(const std::string& dir, const std::string& altNames, std::string& error);

// HTTPS in front of a plain fake server: terminates TLS on address:port with the certificate
// and passes the bytes of each connection both ways to backendAddress:backendPort (e.g. a
// FakeHttpServer), so every script of the plain server also runs over TLS. Connections are
// served one after the other; the relay ends with its owner.
class TlsRelay {
public:
    TlsRelay(const std::string& address, uint16_t port, const std::string& backendAddress,
             uint16_t backendPort, const std::string& certDir);
    ~TlsRelay();
    TlsRelay(const TlsRelay&) = delete;
    TlsRelay& operator=(const TlsRelay&) = delete;

    bool Listening() const { return listenFd_ >= 0; }
    const std::string& Error() const { return error_; }

private:
    void AcceptLoop();
    void Relay(int client);

    std::string backendAddress_;
    uint16_t backendPort_;
    void* ctx_ = nullptr; // SSL_CTX
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string error_;
    std::thread thread_;
};

} // namespace testsupport
