#pragma once

#include "rdap/RdapLookup.h"

#include <cstdint>
#include <string>

// Why one step of a chain got no answer, as a value: a stable kind for programs and a detail
// in plain words for people. The window keeps its WinSock names; these are for everyone else.
enum class FailureKind {
    Refused,     // the server's port took no connection
    TimedOut,    // no connection or no answer in time
    UnknownHost, // the server's name has no address
    Reset,       // the connection broke off
    Unreachable, // no route to the server
    NoAnswer,    // the server closed without a word
    BadQuery,    // the query could not be sent as it is
    NoServer,    // nothing serves the query
    Tls,         // HTTPS: the server could not be trusted, or TLS failed
    HttpStatus,  // HTTP: the server answered with an error status
    NotRdap,     // HTTP: the answer was not an RDAP answer (too large, bad redirect)
    NoService,   // RDAP: the bootstrap names no service for the query
    RateLimited, // WHOIS: the server sent its limit notice instead of an answer
    Other,
};

struct StepFailure {
    FailureKind kind = FailureKind::Other;
    std::string detail;
};

// The kind's stable name: "refused", "timeout", "unknown-host", ...
const char* FailureKindName(FailureKind kind);

// A WHOIS step's WinSock code as a failure; detail in words ("connection refused").
StepFailure WhoisFailure(int32_t code);

// A socket error in words for any operation (a lookup, a probe's send, SMTP), as WhoisFailure
// says it where the query itself is not at fault ("permission denied", "unknown host").
std::string FailureWords(int32_t code);
// A limit notice instead of an answer; detail: "rate-limited by the server (" + notice + ")".
StepFailure LimitFailure(const std::string& notice);

// An RDAP fetch's failure; detail: the line that names the server and the reason.
StepFailure RdapFailure(const rdap::FailedFetch& failed);
