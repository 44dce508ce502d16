#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "rdap/RdapBootstrap.h"
#include "rdap/RdapClient.h"

namespace rdap {

struct LookupResult {
    enum class Status { Hit, NoMatch, Error, Stopped, NoService } status = Status::NoService;
    std::vector<std::string> steps; // URLs fetched: registry, then the registrar when followed
    std::string text;               // rendered: registry's record, then the registrar's below it
    std::string errorLine;          // Error: names the server and the reason
    FetchResult::Failure failure = FetchResult::Failure::None; // Error: the registry's fetch
    // A registrar whose fetch failed: the registry's record stays the hit, this says why.
    FetchResult::Failure registrarFailure = FetchResult::Failure::None;
    std::string registrarError; // its line, as it stands in text
};

// Bootstrap lookup, fetch, render, follow the related registrar link once.
// onStep (may be empty) is called before each fetch with its URL (for "rdap URL" status lines).
// A registrar that fails leaves the registry's record a hit, with a line saying why below it.
LookupResult Lookup(std::string_view query, const Bootstrap& bootstrap, const FetchOptions& options,
                    const std::function<void(const std::string& url)>& onStep = {});

} // namespace rdap
