#include "engine/StepFailure.h"

#include "engine/HostRoutines.h"
#include "platform/WinSock.h"

#include <iterator>

namespace {

struct Words {
    int32_t code;
    FailureKind kind;
    const char* detail;
};

// -1: the worker read nothing and no call failed, so the server closed without answering.
constexpr Words kWords[] = {
    {winsock::WSAECONNREFUSED, FailureKind::Refused, "connection refused"},
    {winsock::WSAETIMEDOUT, FailureKind::TimedOut, "timed out"},
    {winsock::WSAHOST_NOT_FOUND, FailureKind::UnknownHost, "unknown host"},
    {winsock::WSANO_DATA, FailureKind::UnknownHost, "unknown host"},
    {winsock::WSATRY_AGAIN, FailureKind::UnknownHost, "host lookup failed for now"},
    {winsock::WSANO_RECOVERY, FailureKind::UnknownHost, "host lookup failed"},
    {winsock::WSAEAFNOSUPPORT, FailureKind::UnknownHost, "no address of the family asked for"},
    {winsock::WSAECONNRESET, FailureKind::Reset, "connection reset"},
    {winsock::WSAECONNABORTED, FailureKind::Reset, "connection aborted"},
    {winsock::WSAENETRESET, FailureKind::Reset, "connection reset"},
    {winsock::WSAENETUNREACH, FailureKind::Unreachable, "network unreachable"},
    {winsock::WSAEHOSTUNREACH, FailureKind::Unreachable, "host unreachable"},
    {winsock::WSAENETDOWN, FailureKind::Unreachable, "network down"},
    {winsock::WSAEHOSTDOWN, FailureKind::Unreachable, "host down"},
    {winsock::WSAEMSGSIZE, FailureKind::BadQuery, "query too long"},
    {winsock::WSAEINVAL, FailureKind::BadQuery, "query holds a control character"},
    {-1, FailureKind::NoAnswer, "no answer"},
};

// Socket errors outside a WHOIS query's own: a probe's send, a local socket. Looked at first
// by FailureWords, where a query's words would be wrong.
constexpr Words kSocketWords[] = {
    {winsock::WSAEACCES, FailureKind::Other, "permission denied"},
    {winsock::WSAEINVAL, FailureKind::Other, "invalid argument"},
    {winsock::WSAEMSGSIZE, FailureKind::Other, "message too long"},
    {winsock::WSAEADDRINUSE, FailureKind::Other, "address already in use"},
    {winsock::WSAEADDRNOTAVAIL, FailureKind::Unreachable, "address not available"},
    {winsock::WSAEMFILE, FailureKind::Other, "too many open files"},
    {winsock::WSAENOBUFS, FailureKind::Other, "no buffer space"},
    {winsock::WSAEPROTONOSUPPORT, FailureKind::Other, "protocol not supported"},
    {winsock::WSAESOCKTNOSUPPORT, FailureKind::Other, "socket type not supported"},
    {winsock::WSAENOTCONN, FailureKind::Reset, "not connected"},
    {winsock::WSAESHUTDOWN, FailureKind::Reset, "connection shut down"},
};

const Words* Find(const Words* begin, const Words* end, int32_t code) {
    for (const Words* w = begin; w != end; ++w)
        if (w->code == code)
            return w;
    return nullptr;
}

} // namespace

const char* FailureKindName(FailureKind kind) {
    switch (kind) {
    case FailureKind::Refused:
        return "refused";
    case FailureKind::TimedOut:
        return "timeout";
    case FailureKind::UnknownHost:
        return "unknown-host";
    case FailureKind::Reset:
        return "reset";
    case FailureKind::Unreachable:
        return "unreachable";
    case FailureKind::NoAnswer:
        return "no-answer";
    case FailureKind::BadQuery:
        return "bad-query";
    case FailureKind::NoServer:
        return "no-server";
    case FailureKind::Tls:
        return "tls";
    case FailureKind::HttpStatus:
        return "http-status";
    case FailureKind::NotRdap:
        return "not-rdap";
    case FailureKind::NoService:
        return "no-service";
    case FailureKind::RateLimited:
        return "rate-limited";
    case FailureKind::Other:
        break;
    }
    return "other";
}

StepFailure WhoisFailure(int32_t code) {
    const Words* w = Find(std::begin(kWords), std::end(kWords), code);
    if (!w)
        w = Find(std::begin(kSocketWords), std::end(kSocketWords), code);
    // A code without words of its own keeps its name rather than a vague one.
    return w ? StepFailure{w->kind, w->detail}
             : StepFailure{FailureKind::Other, WSAErrorText(code)};
}

std::string FailureWords(int32_t code) {
    if (const Words* w = Find(std::begin(kSocketWords), std::end(kSocketWords), code))
        return w->detail;
    return WhoisFailure(code).detail;
}

StepFailure LimitFailure(const std::string& notice) {
    return {FailureKind::RateLimited, "rate-limited by the server (" + notice + ")"};
}

StepFailure RdapFailure(const rdap::FailedFetch& failed) {
    using F = rdap::FetchResult::Failure;
    const std::string& line = failed.line;
    if (failed.kind == rdap::Failure::NotRdap)
        return {FailureKind::NotRdap, line};
    if (failed.kind == rdap::Failure::NoLibcurl)
        return {FailureKind::Other, line};
    FailureKind kind = FailureKind::Other;
    switch (failed.transport) {
    case F::Dns:
        kind = FailureKind::UnknownHost;
        break;
    case F::TimedOut:
        kind = FailureKind::TimedOut;
        break;
    case F::Connection:
        kind = FailureKind::Refused;
        break;
    case F::Reset:
        kind = FailureKind::Reset;
        break;
    case F::Tls:
        kind = FailureKind::Tls;
        break;
    case F::Http:
        kind = FailureKind::HttpStatus;
        break;
    case F::TooLarge:
    case F::Redirect:
        kind = FailureKind::NotRdap;
        break;
    case F::None:
    case F::Other:
        break;
    }
    return {kind, line};
}
