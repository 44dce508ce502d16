#pragma once

#include "engine/WSAThread.h"
#include "engine/WhoisChain.h"
#include "rdap/RdapBootstrap.h"
#include "rdap/RdapLookup.h"
#include "rdap/RdapUpdate.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// An RDAP step's URL, just before it is fetched ("rdap " + url is its command line).
using TRdapStartEvent = std::function<void(TObject* Sender, const std::string& Url)>;
// The whole RDAP step: the registry's answer, and the registrar's when its link was followed.
using TRdapResultEvent = std::function<void(TObject* Sender, const rdap::LookupResult& Result)>;

// One RDAP lookup on its own thread, like a WHOIS step: Stop ends it at once, and no event
// of it arrives afterwards.
class TRdapQuery : public TWSAThread {
public:
    // query: the text as the user gave it; it goes out in its IDNA form.
    TRdapQuery(const std::string& query, std::shared_ptr<const rdap::Bootstrap> bootstrap,
               const rdap::FetchOptions& options);

    std::string FQuery;
    TRdapStartEvent OnRdapStart;
    TRdapResultEvent OnRdapResult;

protected:
    void Execute() override;
    void Failed(bool noThread, std::exception_ptr error) override;

private:
    std::shared_ptr<const rdap::Bootstrap> FBootstrap;
    rdap::FetchOptions FOptions;
    rdap::LookupResult FResult;
};

// The update of the bootstrap files on their own thread; Stop ends it at once. The old files
// stay where a download fails.
using TRdapUpdatedEvent = std::function<void(TObject* Sender, const rdap::UpdateResult& Result)>;
class TRdapUpdate : public TWSAThread {
public:
    TRdapUpdate(const std::string& source, const std::string& folder,
                const rdap::FetchOptions& options);
    TRdapUpdatedEvent OnUpdated;

protected:
    void Execute() override;
    void Failed(bool noThread, std::exception_ptr error) override;

private:
    std::string FSource, FFolder;
    rdap::FetchOptions FOptions;
};

// The time-out of each RDAP fetch for the time-out box's seconds (0 to 600, as the box
// holds them): 0 or less leaves the client's own.
std::chrono::milliseconds RdapTimeOut(int32_t seconds);

// What the chain needs of an RDAP step's result (see ChooseRdapEnd).
RdapOutcome OutcomeOf(const rdap::LookupResult& result);
