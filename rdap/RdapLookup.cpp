#include "rdap/RdapLookup.h"

#include "rdap/RdapRender.h"
#include "rdap/RdapText.h"

#include <algorithm>
#include <chrono>

namespace rdap {
namespace {

using Clock = std::chrono::steady_clock;

bool IsHttps(const std::string& url) {
    return StartsWithNoCase(url, "https://");
}

std::string ServerLine(const FetchResult& r, const std::string& reason) {
    return "RDAP server " + HostOf(r.finalUrl.empty() ? r.url : r.finalUrl) + ": " + reason;
}

std::string ErrorLine(const FetchResult& r) {
    std::string line = ServerLine(r, r.reason.empty() ? "failed" : r.reason);
    if (r.httpStatus >= 400 && !r.body.empty()) {
        std::string detail = RenderError(r.body, r.httpStatus);
        if (detail.find(": ") != std::string::npos)
            line += " (" + detail.substr(detail.find(": ") + 2) + ")";
    }
    return line;
}

// One fetch judged: a record, a no-match, or why it is neither.
struct Judged {
    enum { Record, NoMatch, Failed, Stopped } outcome = Failed;
    std::string text; // Record: the rendered record; NoMatch: the no-match line
    FailedFetch failure;
};

Judged Judge(const FetchResult& r) {
    Judged j;
    j.failure.url = r.url;
    long errorCode = 0;
    switch (r.status) {
    case FetchResult::Status::Stopped:
        j.outcome = Judged::Stopped;
        return j;
    case FetchResult::Status::NotFound:
        j.outcome = Judged::NoMatch;
        j.text = RenderError(r.body, 404);
        return j;
    case FetchResult::Status::Error:
        j.failure.line = r.noLibcurl ? r.reason : ErrorLine(r);
        j.failure.kind = r.noLibcurl ? Failure::NoLibcurl : Failure::Server;
        j.failure.transport = r.failure;
        return j;
    case FetchResult::Status::Ok:
        break;
    }
    switch (ClassifyAnswer(r.body, &errorCode)) {
    case AnswerKind::Record:
        j.outcome = Judged::Record;
        j.text = Render(r.body);
        break;
    case AnswerKind::ErrorObject:
        // Some servers send their "not found" object with status 200.
        if (errorCode == 404) {
            j.outcome = Judged::NoMatch;
            j.text = RenderError(r.body, 404);
        } else {
            j.failure.line = ServerLine(r, RenderError(r.body, r.httpStatus));
            j.failure.transport = FetchResult::Failure::Http;
        }
        break;
    case AnswerKind::NotRdap:
        j.failure.kind = Failure::NotRdap;
        j.failure.line =
            ServerLine(r, "not RDAP (" + (r.contentType.empty() ? "no type" : r.contentType) +
                              ", " + std::to_string(r.body.size()) + " bytes)");
        break;
    }
    return j;
}

} // namespace

LookupResult Lookup(std::string_view query, const Bootstrap& bootstrap, const FetchOptions& options,
                    const std::function<void(const std::string& url)>& onStep) {
    LookupResult out;
    const std::vector<std::string> bases = bootstrap.ServicesFor(query);
    if (bases.empty())
        return out;
    const Clock::time_point deadline = Clock::now() + options.timeout;
    auto fetch = [&](const std::string& target) {
        if (onStep)
            onStep(target);
        out.steps.push_back(target);
        FetchOptions left = options;
        left.timeout = std::max(
            std::chrono::milliseconds(0),
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        return Fetch(target, left);
    };
    // The bases in turn while one fails: https ones come first.
    std::string url;
    FetchResult registry;
    Judged judged;
    for (const std::string& base : bases) {
        url = QueryUrl(base, query);
        registry = fetch(url);
        judged = Judge(registry);
        if (judged.outcome != Judged::Failed)
            break;
        out.failures.push_back(judged.failure);
        out.errorLine += (out.errorLine.empty() ? "" : "; ") + judged.failure.line;
        if (judged.failure.kind == Failure::NoLibcurl || Clock::now() >= deadline)
            break;
    }
    switch (judged.outcome) {
    case Judged::Stopped:
        out.status = LookupResult::Status::Stopped;
        return out;
    case Judged::Failed:
        out.status = LookupResult::Status::Error;
        return out;
    case Judged::NoMatch:
        out.status = LookupResult::Status::NoMatch;
        out.text = judged.text + "\n";
        out.errorLine.clear();
        return out;
    case Judged::Record:
        break;
    }
    out.status = LookupResult::Status::Hit;
    out.errorLine.clear();
    out.text = judged.text;
    out.record = registry.body;

    std::string link = RegistrarLink(registry.body);
    if (link.empty() || link == url || link == registry.finalUrl)
        return out;
    // The registry's answer came over TLS; its pointer must not lead to plain HTTP.
    if (IsHttps(registry.finalUrl) && !IsHttps(link)) {
        out.text += "\nRegistrar RDAP " + OneLine(link) + " not followed: not https\n";
        return out;
    }
    FetchResult fetched = fetch(link);
    const Judged registrar = Judge(fetched);
    switch (registrar.outcome) {
    case Judged::Record:
        out.text += "\n" + registrar.text;
        out.registrarRecord = std::move(fetched.body);
        break;
    case Judged::Stopped:
        out.status = LookupResult::Status::Stopped;
        break;
    case Judged::NoMatch:
        out.text += "\nRegistrar: " + registrar.text + "\n";
        out.registrarNoMatch = true;
        break;
    case Judged::Failed:
        out.text += "\n" + registrar.failure.line + "\n";
        out.failures.push_back(registrar.failure);
        break;
    }
    return out;
}

} // namespace rdap
