#include "rdap/RdapLookup.h"

#include "rdap/RdapRender.h"
#include "rdap/RdapText.h"

namespace rdap {
namespace {

bool IsHttps(const std::string& url) {
    return StartsWithNoCase(url, "https://");
}

std::string ErrorLine(const FetchResult& r) {
    std::string line = "RDAP server " + HostOf(r.finalUrl.empty() ? r.url : r.finalUrl) + ": " +
                       (r.reason.empty() ? "failed" : r.reason);
    if (r.httpStatus >= 400 && !r.body.empty()) {
        std::string detail = RenderError(r.body, r.httpStatus);
        if (detail.find(": ") != std::string::npos)
            line += " (" + detail.substr(detail.find(": ") + 2) + ")";
    }
    return line;
}

} // namespace

LookupResult Lookup(std::string_view query, const Bootstrap& bootstrap, const FetchOptions& options,
                    const std::function<void(const std::string& url)>& onStep) {
    LookupResult out;
    std::vector<std::string> bases = bootstrap.ServicesFor(query);
    if (bases.empty())
        return out;
    auto fetch = [&](const std::string& target) {
        if (onStep)
            onStep(target);
        out.steps.push_back(target);
        return Fetch(target, options);
    };
    // The first base is https whenever the service has one.
    const std::string url = QueryUrl(bases.front(), query);
    const FetchResult registry = fetch(url);
    switch (registry.status) {
    case FetchResult::Status::Stopped:
        out.status = LookupResult::Status::Stopped;
        return out;
    case FetchResult::Status::Error:
        out.status = LookupResult::Status::Error;
        out.errorLine = ErrorLine(registry);
        out.failure = registry.failure;
        return out;
    case FetchResult::Status::NotFound:
        out.status = LookupResult::Status::NoMatch;
        out.text = RenderError(registry.body, 404) + "\n";
        return out;
    case FetchResult::Status::Ok:
        break;
    }
    out.status = LookupResult::Status::Hit;
    out.text = Render(registry.body);

    std::string link = RegistrarLink(registry.body);
    if (link.empty() || link == url || link == registry.finalUrl)
        return out;
    // The registry's answer came over TLS; its pointer must not lead to plain HTTP.
    if (IsHttps(registry.finalUrl) && !IsHttps(link)) {
        out.text += "\nRegistrar RDAP " + link + " not followed: not https\n";
        return out;
    }
    const FetchResult registrar = fetch(link);
    switch (registrar.status) {
    case FetchResult::Status::Ok:
        out.text += "\n" + Render(registrar.body);
        break;
    case FetchResult::Status::Stopped:
        out.status = LookupResult::Status::Stopped;
        break;
    case FetchResult::Status::NotFound:
        out.text += "\nRegistrar: " + RenderError(registrar.body, 404) + "\n";
        break;
    case FetchResult::Status::Error:
        out.registrarFailure = registrar.failure;
        out.registrarError = ErrorLine(registrar);
        out.text += "\n" + out.registrarError + "\n";
        break;
    }
    return out;
}

} // namespace rdap
