#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

namespace rdap {

struct FetchOptions {
    // For each request of the fetch (a redirect or the retry after 429 starts a new one).
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
    std::string url;      // as asked
    std::string finalUrl; // after redirects
    std::string body;     // the answer's bytes (also for 404: the error object)
    std::string reason;   // Error: "HTTP 500", "TLS: ...", "DNS: ...", "time-out", ...
};

// One GET with Accept: application/rdap+json (application/json second), redirects (<=5, never
// https->http), 429 retried once after Retry-After (<=10 s, interruptible by stop). Blocking; call
// on a worker thread.
FetchResult Fetch(const std::string& url, const FetchOptions& options);

// The host (and port, when given) of a URL, for error lines that name the server.
std::string HostOf(const std::string& url);

} // namespace rdap
