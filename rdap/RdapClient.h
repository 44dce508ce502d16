#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

namespace rdap {

struct FetchOptions {
    // For the whole fetch: its redirects and a 429's wait included (for Lookup, the whole step).
    std::chrono::milliseconds timeout{21000};
    const std::atomic<bool>* stop = nullptr; // polled; set -> the transfer ends at once
    std::size_t maxBytes = 4u << 20;
    std::string caFile; // empty: the system's CA store
};

struct FetchResult {
    enum class Status { Ok, NotFound, Error, Stopped } status = Status::Error;
    // Error: what went wrong, for callers that act on it or name it without reading reason.
    enum class Failure {
        None,
        Dns,
        TimedOut,
        Connection,
        Reset,
        Tls,
        Http,
        TooLarge,
        Redirect,
        Other
    };
    Failure failure = Failure::None;
    long httpStatus = 0;
    std::string url;         // as asked
    std::string finalUrl;    // after redirects
    std::string body;        // the answer's bytes (also for 404: the error object)
    std::string contentType; // as the server labelled the body
    std::string reason;      // Error: "HTTP 500", "TLS: ...", "DNS: ...", "time-out", ...
    bool noLibcurl = false;  // Error because libcurl could not be loaded: no server was asked
};

// One GET with Accept: application/rdap+json (application/json second), redirects (<=5, only to
// http or https, never https->http), 429 retried once after Retry-After (<=10 s, interruptible
// by stop, not past the time-out). Blocking; call on a worker thread.
FetchResult Fetch(const std::string& url, const FetchOptions& options);

// Empty when libcurl is at hand; otherwise a line saying it is missing, with the loader's reason.
std::string LibcurlMissing();
// Starts loading libcurl on a thread of its own, once, so that the loading overlaps what the
// caller does before its first fetch (reading the bootstrap files). The first fetch waits for
// the loading to end; nothing else changes.
void PreloadLibcurl();

// The host (and port, when given) of a URL, for error lines that name the server.
std::string HostOf(const std::string& url);

} // namespace rdap
