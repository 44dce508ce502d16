#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "rdap/RdapBootstrap.h"
#include "rdap/RdapClient.h"

namespace rdap {

// Why a fetch gave no answer: the server failed (network, TLS, HTTP, an error object sent as a
// success), it answered with something that is not RDAP, or libcurl is missing (no server asked).
enum class Failure { Server, NotRdap, NoLibcurl };

struct FailedFetch {
    std::string url;
    std::string line; // "RDAP server HOST: reason", or the libcurl line
    Failure kind = Failure::Server;
    // Server: what went wrong on the way, for callers that name it without reading line.
    FetchResult::Failure transport = FetchResult::Failure::None;
};

struct LookupResult {
    enum class Status { Hit, NoMatch, Error, Stopped, NoService } status = Status::NoService;
    std::vector<std::string> steps; // URLs fetched: registry (each base tried), then registrar
    std::string text;               // rendered: registry's record, then the registrar's below it
    std::string errorLine;          // Error: names the server(s) and the reason, one line
    // Every fetch that failed, in order: bases tried before one answered, a failed registrar
    // (whose line is also in `text`; the registry's record stays the hit).
    std::vector<FailedFetch> failures;
    // Hit: the JSON of the registry's record and of the registrar's (empty when not fetched
    // or not a record), kept so callers read fields from the answer rather than from `text`.
    std::string record, registrarRecord;
    // Hit: the registrar's server answered that it holds no such record (a line in `text`).
    bool registrarNoMatch = false;
};

// Bootstrap lookup, fetch, render, follow the related registrar link once. The service's base
// URLs are tried in turn (https first) while one fails. options.timeout bounds the whole step.
// onStep (may be empty) is called before each fetch with its URL (for "rdap URL" status lines).
// A registrar that fails leaves the registry's record a hit, with a line saying why below it.
LookupResult Lookup(std::string_view query, const Bootstrap& bootstrap, const FetchOptions& options,
                    const std::function<void(const std::string& url)>& onStep = {});

} // namespace rdap
