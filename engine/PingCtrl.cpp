#include "engine/PingCtrl.h"

#include "directory/ServerDir.h"
#include "engine/QueryClients.h"
#include "engine/Resolvers.h"

namespace {

// Wraps a controller step for a worker event: the step runs only while the controller lives.
// Worker events run on the main thread, as does the controller's destruction, so the check
// cannot be overtaken.
template <typename Step> auto Guarded(const std::shared_ptr<TPingTrace*>& alive, Step step) {
    return [weak = std::weak_ptr<TPingTrace*>(alive), step](auto&&... args) {
        if (auto self = weak.lock())
            step(**self, args...);
    };
}

} // namespace

TPingTrace::TPingTrace() : FAlive(std::make_shared<TPingTrace*>(this)) {}

TPingTrace::~TPingTrace() {
    // Late results are dropped by FAlive; ending this controller's own workers as well means
    // none of them keeps working, or reporting, into a program that is closing.
    FAlive.reset();
    WorkerThreads.TerminateAll(this);
}

void TPingTrace::Lookup(const std::string& target) {
    StartLookup(opLookup, target);
}

void TPingTrace::Ping(const std::string& target) {
    StartLookup(opPing, target);
}

void TPingTrace::PingContinue() {}

void TPingTrace::Trace(const std::string& target) {
    StartLookup(opTrace, target);
}

void TPingTrace::Smtp(const std::string& server, const std::string& text) {
    FQueryText = text;
    StartLookup(opSmtp, server);
}

void TPingTrace::StartLookup(uint8_t code, const std::string& target) {
    FIdle = false;
    FOperation = code;
    if (OnStart)
        OnStart(this, code);
    auto* worker = new TNameResolv(target);
    worker->FOwner = this;
    worker->OnLookup =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender, const TagHostEnt& host) {
            self.NameResolved(sender, host);
        });
    if (code == opLookup)
        worker->OnThreadEnd =
            Guarded(FAlive, [](TPingTrace& self, TObject* sender) { self.RaiseDone(sender); });
    if (OnLookupStart)
        OnLookupStart(this, code, target);
}

void TPingTrace::NameResolved(TObject*, const TagHostEnt& host) {
    FHost = host;
    if (OnResolved)
        OnResolved(this, FOperation, FHost);
    if (FIdle) {
        RaiseDone(this);
        return;
    }
    switch (FOperation) {
    case opLookup:
        FIdle = true; // OnDone follows from the worker's end
        break;
    case opPing:
    case opTrace:
        // The echo and trace steps are not part of the engine yet: the operation comes to
        // rest after its lookup.
        FIdle = true;
        RaiseDone(this);
        break;
    case opSmtp:
        SmtpLaunch();
        break;
    default:
        break;
    }
}

void TPingTrace::SmtpLaunch() {
    auto* worker = new TSMTP(FQueryText, FHost);
    worker->FOwner = this;
    worker->OnQueryResult =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender, int32_t code,
                           const std::string& query, const std::string& response) {
            if (self.OnSmtpResult)
                self.OnSmtpResult(sender, code, query, response);
        });
}

void TPingTrace::WhoisResolve(const std::string& server, const std::string& query) {
    FQueryText = query;
    if (OnStart)
        OnStart(this, opWhois);
    auto* worker = new TNameResolv(server);
    worker->FOwner = this;
    worker->OnLookup =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender, const TagHostEnt& host) {
            self.WhoisServerResolved(sender, host);
        });
}

void TPingTrace::WhoisServerResolved(TObject*, const TagHostEnt& host) {
    FHost = host;
    if (OnResolved)
        OnResolved(this, opWhois, FHost);
    WhoisLaunch();
}

void TPingTrace::WhoisDirect(const std::string& query) {
    FQueryText = query;
    if (OnStart)
        OnStart(this, opWhois);
    WhoisLaunch();
}

void TPingTrace::WhoisLaunch() {
    auto* worker = new TWhois(FQueryText, FHost, FWhoisPort);
    worker->FOwner = this;
    FWhoisRunning = true;
    worker->OnQueryResult =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender, int32_t code,
                           const std::string& query, const std::string& response) {
            if (self.OnWhoisResult)
                self.OnWhoisResult(sender, code, query, response);
        });
    worker->OnQueryStart = Guarded(FAlive, [](TPingTrace& self, TObject* sender,
                                              const std::string& server, const std::string& query) {
        if (self.OnWhoisStart)
            self.OnWhoisStart(sender, server, query);
    });
}

void TPingTrace::WhoisEnded() {
    FWhoisRunning = false;
    if (FIdle)
        RaiseDone(this);
}

void TPingTrace::Stop() {
    WorkerThreads.TerminateAll();
    RaiseDone(this);
    FProbeBusy = false;
    FIdle = true;
    FWhoisRunning = false;
}

std::string TPingTrace::CurrentTarget() const {
    if (!FHost.Found)
        return FHost.Query;
    return FHost.HostName.empty() ? IPToStr(FHost.Address) : FHost.HostName;
}

void TPingTrace::RaiseDone(TObject* sender) {
    if (OnDone)
        OnDone(sender);
}

void TPingTrace::LoadServers(const std::string& path) {
    LoadServerFile(path, FServerList);
}

void TPingTrace::SaveServers(const std::string& path) {
    SaveServerFile(path, FServerList);
}

void TPingTrace::PrepareCandidates(const std::string& server, const std::string& target) {
    PrepareServerCandidates(FServerList, server, target, IsIPAddress(target), FCandidates);
}

void TPingTrace::BuildCandidates(const std::string& server, const std::string& target) {
    BuildServerCandidates(FServerList, server, target, IsIPAddress(target), FCandidates);
}

std::string TPingTrace::NextCandidate() {
    return NextServerCandidate(FCandidates);
}
