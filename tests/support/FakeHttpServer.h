#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/FakeServer.h"

namespace testsupport {

struct HttpRequest {
    std::string method;
    std::string target;                         // "/domain/example.com"
    std::map<std::string, std::string> headers; // names in lower case
};

struct HttpReply {
    int status = 200;
    std::string body;
    std::string contentType = "application/rdap+json";
    std::vector<std::pair<std::string, std::string>> headers; // e.g. {"Location", url}
    // Headers, then nothing more until the client gives up (for Stop and time-outs).
    bool silentAfterHeaders = false;
};

// A plain HTTP/1.1 server on a loopback address of the test's namespace, one request per
// connection (it answers "Connection: close"). Built on FakeServer, so its life is bounded.
class FakeHttpServer {
public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;

    FakeHttpServer(const std::string& address, uint16_t port, Handler handler);

    bool Listening() const { return server_.Listening(); }
    const std::string& Error() const { return server_.Error(); }
    // "http://ADDRESS:PORT/"
    const std::string& BaseUrl() const { return base_; }
    // The requests received so far, in order.
    std::vector<HttpRequest> Requests() const;
    FakeServer& Tcp() { return server_; }

    // Replies by request target; any other target gets an RDAP 404 error object.
    static Handler Routes(std::map<std::string, HttpReply> byTarget);
    static HttpReply NotFound();
    static HttpReply Redirect(std::string location, int status = 302);

private:
    std::string base_;
    FakeServer server_;
};

HttpRequest ParseHttpRequest(const std::string& bytes);
// The status line and headers of `reply`, up to the empty line.
std::string HttpHead(const HttpReply& reply);

} // namespace testsupport
