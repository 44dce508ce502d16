#include "engine/QueryClients.h"

#include "engine/HostRoutines.h"
#include "engine/Resolvers.h"
#include "engine/WhoisIdna.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>

int32_t CheckRequestText(const std::string& text) {
    if (text.size() > MaxRequestText)
        return winsock::WSAEMSGSIZE;
    // C1 controls count too: NEL ends a line for some servers. DEL adds no line, and a
    // query typed with one goes out as typed.
    for (size_t k = 0; k < text.size(); ++k)
        if (text[k] != '\x7F' && platform::ControlLength(text, k) != 0)
            return winsock::WSAEINVAL;
    return 0;
}

int WaitReadable(winsock::SOCKET socket, int32_t seconds) {
    winsock::fd_set readSet;
    winsock::FdSet(socket, &readSet);
    timeval timeout{};
    if (seconds == 0)
        timeout.tv_usec = 500;
    else
        timeout.tv_sec = seconds;
    return winsock::select(1, &readSet, nullptr, nullptr, &timeout);
}

int32_t ReadResponse(winsock::SOCKET socket, int32_t seconds, std::string& text) {
    text.clear();
    int32_t code = -1;
    char buffer[ResponseChunk];
    bool cut = false;
    while (!cut && WaitReadable(socket, seconds) == 1) {
        std::memset(buffer, 0, sizeof buffer);
        const int n = winsock::recv(socket, buffer, sizeof buffer, 0);
        if (n == winsock::SOCKET_ERROR) {
            code = winsock::WSAGetLastError();
            break;
        }
        if (n == 0)
            break;
        const void* zero = std::memchr(buffer, 0, size_t(n));
        const size_t length = zero ? size_t(static_cast<const char*>(zero) - buffer) : size_t(n);
        const size_t room = MaxAnswerBytes - text.size();
        // Only bytes beyond the limit make a cut: an answer of exactly the limit is whole.
        cut = length > room || room == 0;
        text.append(buffer, std::min(length, room));
    }
    if (cut) {
        if (text.back() != '\n')
            text += "\r\n";
        text += AnswerCutNote;
    }
    if (!text.empty())
        code = 0;
    return code;
}

namespace {

// A found server, or an address as typed: the user named the address itself, so a missing
// reverse name is no reason not to connect. A dotted text the parser rejects has none, nor
// has a record that kept no address of the family asked for.
bool HasAddress(const TagHostEnt& server) {
    TIn6Addr typed;
    uint32_t scope;
    return server.Found ||
           (IsIPAddress(server.Query) && server.Address != 0xFFFFFFFFu && server.Address != 0) ||
           (ParseIPv6Zone(server.Query, typed, scope) && !server.Addresses6.empty() &&
            server.Addresses6.front() != TIn6Addr{});
}

// The server's addresses in the order they are tried: IPv4 first (Address, then the rest),
// then IPv6, the first with its zone. The unspecified addresses (0.0.0.0, ::) are never
// tried: a connection to them reaches this machine, not a server.
std::vector<sockaddr_storage> ConnectAddresses(const TagHostEnt& server, uint16_t port) {
    std::vector<sockaddr_storage> list;
    std::vector<uint32_t> v4;
    if (server.Address != 0xFFFFFFFFu && server.Address != 0)
        v4.push_back(server.Address);
    for (uint32_t a : server.Addresses)
        if (a != 0 && std::find(v4.begin(), v4.end(), a) == v4.end())
            v4.push_back(a);
    for (uint32_t a : v4) {
        sockaddr_storage storage{};
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = a;
        list.push_back(storage);
    }
    for (size_t k = 0; k < server.Addresses6.size(); ++k) {
        const TIn6Addr& a = server.Addresses6[k];
        if (a == TIn6Addr{})
            continue;
        sockaddr_storage storage{};
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        std::memcpy(&in6->sin6_addr, a.data(), 16);
        in6->sin6_scope_id = k == 0 ? server.Scope6 : 0;
        list.push_back(storage);
    }
    return list;
}

// Connects to the first address that takes the connection; all of them share one connect
// time-out, so a server with several addresses is given up on as soon as one with a single
// address. The connected socket, or INVALID_SOCKET with the last failure's code set.
winsock::SOCKET ConnectAny(const std::vector<sockaddr_storage>& addresses) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + winsock::ConnectTimeout();
    int code = winsock::WSAEAFNOSUPPORT;
    for (const sockaddr_storage& address : addresses) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            code = winsock::WSAETIMEDOUT;
            break;
        }
        const winsock::SOCKET s = winsock::socket(address.ss_family, SOCK_STREAM, 0);
        if (s == winsock::INVALID_SOCKET) {
            code = winsock::WSAGetLastError();
            continue;
        }
        const int length =
            address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        if (winsock::connect(s, reinterpret_cast<const sockaddr*>(&address), length, left) == 0)
            return s;
        code = winsock::WSAGetLastError();
        winsock::closesocket(s);
        // Stop ends the whole attempt, not only the address being tried.
        if (code == winsock::WSAEINTR)
            break;
    }
    winsock::WSASetLastError(code);
    return winsock::INVALID_SOCKET;
}

} // namespace

TQueryClient::TQueryClient(const std::string& query, const TagHostEnt& server, uint16_t port,
                           const char* trailer, int32_t waitSeconds)
    : TWSAThread(false), FServer(server), FQuery(query), FWire(query), FPort(port),
      FTrailer(trailer), FWaitSeconds(waitSeconds) {}

void TQueryClient::Execute() {
    if (!FLookup.empty()) {
        if (FWinSockReady)
            ResolveHost(FLookup, FServer, FFamily, false); // a server's aliases are not shown
        else
            PrepareLookup(FLookup, FServer); // reported as a lookup that found nothing
    }
    // One-way hand-offs: the exchange does not wait for the main thread to show the start,
    // nor for the result to be taken. Stop still ends the exchange (its token) and drops
    // both calls when they have not run yet.
    if (OnServerFound || OnQueryStart)
        Post([this] {
            if (OnServerFound)
                OnServerFound(this, FServer);
            if (OnQueryStart && !Terminated())
                OnQueryStart(this, FServer.Query, FQuery);
        });
    if (Terminated())
        return;
    int32_t code;
    std::string response;
    if (FWinSockReady && HasAddress(FServer)) {
        std::string answer;
        code = Exchange(answer);
        response = answer.empty() ? WSAErrorText(code) : std::move(answer);
    } else {
        // A server whose lookup could not be made says why, not that it does not exist.
        code = FServer.Error != 0 ? FServer.Error : winsock::WSAHOST_NOT_FOUND;
    }
    Report(code, std::move(response));
}

void TQueryClient::Report(int32_t code, std::string response) {
    FResultCode = code;
    FResponse = std::move(response);
    if (OnQueryResult)
        Post([this] { OnQueryResult(this, FResultCode, FQuery, FResponse); });
}

void TQueryClient::Failed(bool noThread, std::exception_ptr error) {
    const int32_t code = FailureCode(noThread, error);
    Report(code, WSAErrorText(code));
}

int32_t TQueryClient::Exchange(std::string& answer) {
    answer.clear();
    // Checked before any network work: such a text is never sent.
    if (int32_t refused = CheckWire())
        return refused;

    // WSAStartup reports its failure as its result, and a clean-up without a start-up would
    // take away another worker's start-up, so only a successful one is paired.
    winsock::WSADATA data;
    int32_t code = winsock::WSAStartup(winsock::MakeWord(1, 1), &data);
    if (code != 0)
        return code;
    const std::string request = FWire + FTrailer;
    winsock::SOCKET s = ConnectAny(ConnectAddresses(FServer, FPort));
    if (s == winsock::INVALID_SOCKET) {
        code = winsock::WSAGetLastError();
        winsock::WSACleanup();
        return code;
    }
    if (winsock::send(s, request.data(), int(request.size()), 0) == winsock::SOCKET_ERROR) {
        code = winsock::WSAGetLastError();
    } else {
        code = ReadResponse(s, FWaitSeconds, answer);
        winsock::shutdown(s, winsock::SD_RECEIVE);
    }
    winsock::closesocket(s);
    winsock::WSACleanup();
    return code;
}

TWhois::TWhois(const std::string& query, const TagHostEnt& server, uint16_t port)
    : TQueryClient(query, server, port, "\r\n", 5) {
    // Names with non-ASCII labels go out in their IDNA form; the events keep the typed query.
    FWire = WhoisWireQuery(query);
}

TSMTP::TSMTP(const std::string& text, const TagHostEnt& server)
    : TQueryClient(text, server, 25, "\r\nQUIT\r\n", 15) {}
