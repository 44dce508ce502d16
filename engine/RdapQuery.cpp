#include "engine/RdapQuery.h"

#include "engine/HostRoutines.h"
#include "engine/WhoisIdna.h"

#include <algorithm>

TRdapQuery::TRdapQuery(const std::string& query, std::shared_ptr<const rdap::Bootstrap> bootstrap,
                       const rdap::FetchOptions& options)
    : TWSAThread(false), FQuery(query), FBootstrap(std::move(bootstrap)), FOptions(options) {
    // Polled by the transfer: Stop ends it at once, a slow server or a Retry-After wait too.
    FOptions.stop = &TerminatedFlag();
}

void TRdapQuery::Execute() {
    const std::string wire = WhoisWireQuery(FQuery);
    // One-way: the fetch goes on while the main thread shows its start.
    auto started = [this](const std::string& url) {
        if (OnRdapStart)
            Post([this, url] { OnRdapStart(this, url); });
    };
    if (FBootstrap)
        FResult = rdap::Lookup(wire, *FBootstrap, FOptions, started);
    else
        FResult.status = rdap::LookupResult::Status::NoService;
    if (Terminated() || FResult.status == rdap::LookupResult::Status::Stopped)
        return;
    if (OnRdapResult)
        Post([this] { OnRdapResult(this, FResult); });
}

void TRdapQuery::Failed(bool noThread, std::exception_ptr error) {
    FResult = rdap::LookupResult{};
    FResult.status = rdap::LookupResult::Status::Error;
    FResult.errorLine = "RDAP: " + WSAErrorText(FailureCode(noThread, error));
    if (OnRdapResult)
        Post([this] { OnRdapResult(this, FResult); });
}

TRdapUpdate::TRdapUpdate(const std::string& source, const std::string& folder,
                         const rdap::FetchOptions& options)
    : TWSAThread(false), FSource(source), FFolder(folder), FOptions(options) {
    FOptions.stop = &TerminatedFlag();
}

void TRdapUpdate::Execute() {
    const rdap::UpdateResult result = rdap::UpdateBootstrap(FSource, FFolder, FOptions);
    if (Terminated() || result.stopped)
        return;
    if (OnUpdated)
        RaiseOnMain([this, &result] { OnUpdated(this, result); });
}

void TRdapUpdate::Failed(bool noThread, std::exception_ptr error) {
    rdap::UpdateResult result;
    result.lines.push_back(WSAErrorText(FailureCode(noThread, error)));
    if (OnUpdated)
        RaiseOnMain([this, &result] { OnUpdated(this, result); });
}

std::chrono::milliseconds RdapTimeOut(int32_t seconds) {
    constexpr int32_t kLongest = 600;
    if (seconds <= 0)
        return rdap::FetchOptions().timeout;
    return std::chrono::seconds(std::min(seconds, kLongest));
}

RdapOutcome OutcomeOf(const rdap::LookupResult& result) {
    using Status = rdap::LookupResult::Status;
    RdapOutcome outcome;
    outcome.hit = result.status == Status::Hit;
    outcome.noMatch = result.status == Status::NoMatch;
    outcome.urls = result.steps;
    outcome.text =
        result.status == Status::Error || result.text.empty() ? result.errorLine : result.text;
    return outcome;
}
