#include "tests/support/FakeHttpServer.h"

#include <cctype>
#include <sstream>

namespace testsupport {
namespace {} // namespace

std::string HttpHead(const HttpReply& reply) {
    std::ostringstream head;
    head << "HTTP/1.1 " << reply.status << " Fake\r\n" // clients read the number only
         << "Content-Type: " << reply.contentType << "\r\n"
         << "Content-Length: " << reply.body.size() << "\r\n"
         << "Connection: close\r\n";
    for (const auto& [name, value] : reply.headers)
        head << name << ": " << value << "\r\n";
    head << "\r\n";
    return head.str();
}

namespace {

FakeReply ToWire(const HttpReply& reply) {
    FakeReply wire;
    wire.chunks = {HttpHead(reply) + (reply.silentAfterHeaders ? "" : reply.body)};
    if (reply.silentAfterHeaders)
        wire.end = FakeReply::End::Silence;
    return wire;
}

FakeServer::Options HttpOptions() {
    FakeServer::Options options;
    options.requestEnd = "\r\n\r\n"; // a GET ends with its header block
    return options;
}

} // namespace

HttpRequest ParseHttpRequest(const std::string& bytes) {
    HttpRequest request;
    std::istringstream in(bytes);
    std::string line;
    std::getline(in, line);
    std::istringstream first(line);
    first >> request.method >> request.target;
    while (std::getline(in, line) && line != "\r" && !line.empty()) {
        auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        if (!value.empty() && value.back() == '\r')
            value.pop_back();
        request.headers[name] = value;
    }
    return request;
}

FakeHttpServer::FakeHttpServer(const std::string& address, uint16_t port, Handler handler)
    : base_("http://" + address + ":" + std::to_string(port) + "/"),
      server_(
          address, port,
          [handler = std::move(handler)](const std::string& bytes) {
              return ToWire(handler(ParseHttpRequest(bytes)));
          },
          HttpOptions()) {}

std::vector<HttpRequest> FakeHttpServer::Requests() const {
    std::vector<HttpRequest> requests;
    for (const std::string& bytes : server_.Received())
        requests.push_back(ParseHttpRequest(bytes));
    return requests;
}

FakeHttpServer::Handler FakeHttpServer::Routes(std::map<std::string, HttpReply> byTarget) {
    return [byTarget = std::move(byTarget)](const HttpRequest& request) {
        auto it = byTarget.find(request.target);
        return it == byTarget.end() ? NotFound() : it->second;
    };
}

HttpReply FakeHttpServer::NotFound() {
    HttpReply reply;
    reply.status = 404;
    reply.body = R"({"errorCode":404,"title":"Not Found","description":["No such object"]})";
    return reply;
}

HttpReply FakeHttpServer::Redirect(std::string location, int status) {
    HttpReply reply;
    reply.status = status;
    reply.headers = {{"Location", std::move(location)}};
    return reply;
}

} // namespace testsupport
