#include "engine/PingCtrl.h"

#include "directory/ServerDir.h"
#include "engine/QueryClients.h"
#include "engine/Resolvers.h"
#include "engine/StepFailure.h"
#include "engine/WhoisIdna.h"
#include "rdap/RdapClient.h"

#include <cstring>

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

// The bootstrap with the files of one kind of query read as well. Only what a lookup needs is
// read: a short-lived zwhois would spend more on parsing all five files than on its request.
std::shared_ptr<const rdap::Bootstrap> WithKind(std::shared_ptr<const rdap::Bootstrap> have,
                                                rdap::QueryKind kind,
                                                const std::vector<std::string>& folders) {
    if (kind == rdap::QueryKind::None || have->Size(kind) > 0)
        return have;
    auto more = std::make_shared<rdap::Bootstrap>(*have);
    more->LoadKind(kind, folders);
    return more;
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
    FEchoSent = 0;
}

void TPingTrace::PingContinue() {
    if (FOperation != opPing) {
        RaiseDone(this);
        return;
    }
    if (OnStart)
        OnStart(this, opPing);
    FIdle = false;
    SendNextEcho();
}

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
    worker->FFamily = FFamily;
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
        SendNextEcho();
        break;
    case opTrace:
        TraceBegin();
        break;
    case opSmtp:
        SmtpLaunch();
        break;
    default:
        break;
    }
}

bool TPingTrace::TryMarkBusy() {
    // The unspecified addresses (0.0.0.0, ::) name no host: nothing is probed.
    if (FHost.Address == 0 && (FHost.Addresses6.empty() || FHost.Addresses6.front() == TIn6Addr{}))
        return false;
    const bool wasBusy = FProbeBusy;
    FProbeBusy = true;
    return !wasBusy;
}

void TPingTrace::SendNextEcho() {
    if (!TryMarkBusy()) {
        RaiseDone(this);
        return;
    }
    ++FEchoSent;
    ++FEchoSerial;
    auto* worker = new TEcho(FHost, FEchoSerial + 256, FEchoSent);
    worker->FOwner = this;
    worker->FReplyTimeOut = FProbeTimeOut;
    worker->OnReply =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender, uint8_t status,
                           const tagPACKET& packet) { self.EchoReplied(sender, status, packet); });
}

void TPingTrace::EchoReplied(TObject*, uint8_t status, const tagPACKET& packet) {
    FProbeError = status == 2 ? packet.Error : 0;
    if (OnEchoReply)
        OnEchoReply(this, status, packet.Seq, packet.ReplyTime, packet.Host);
    FProbeBusy = false;
    if (FEchoSent >= FEchoCount || FIdle)
        RaiseDone(this);
}

void TPingTrace::TraceBegin() {
    if (!TryMarkBusy()) {
        RaiseDone(this);
        return;
    }
    FTracing = true;
    FPendingLookups = 0;
    FOwnerWaiting.clear();
    FOwnerKnown.clear();
    FOwnerQueue.clear();
    FOwnerExchanges = 0;
    FOwnerServiceFailure.clear();
    auto* worker = new TTrace(FHost);
    worker->FOwner = this;
    worker->FReplyTimeOut = FProbeTimeOut;
    worker->FMaxHops = FMaxHops;
    worker->OnHop =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender, int32_t hop,
                           const tagPACKET& packet) { self.TraceHopArrived(sender, hop, packet); });
    worker->OnThreadEnd =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender) { self.TraceFinished(sender); });
}

void TPingTrace::TraceHopArrived(TObject*, int32_t hop, const tagPACKET& packet) {
    // The answer's source; it means something only for status 1 and 4 (unreachable, whose
    // sender is shown as it is and not looked up).
    const std::string address = ReplySource(packet);
    if (packet.Status == 2)
        FProbeError = packet.Error;
    if (OnTraceHop)
        OnTraceHop(this, hop, packet.Status, packet.ReplyTime, address);
    if (OnHopRecord)
        OnHopRecord(this, ReadHop(hop, packet));
    if (FTraceOwners && !FIdle && (packet.Status == 1 || packet.Status == 4))
        WantOwner(hop, address);
    if (packet.Status != 1 || AnsweredByTarget(packet) || !FResolveHops || FIdle)
        return;
    ++FPendingLookups;
    uint32_t source;
    std::memcpy(&source, &packet.Reply[12], 4);
    auto* worker =
        UsesIPv6(packet.Host) ? new TIPResolv(hop, packet.Source6) : new TIPResolv(hop, source);
    worker->FOwner = this;
    worker->OnLookup =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender, int32_t tag, const TagHostEnt& host) {
            self.HopNameResolved(sender, tag, host);
        });
}

void TPingTrace::HopNameResolved(TObject*, int32_t tag, const TagHostEnt& host) {
    if (OnHopResolved)
        OnHopResolved(this, tag, host);
    HopLookupSettled();
}

void TPingTrace::HopLookupSettled() {
    --FPendingLookups;
    if (FPendingLookups == 0 && (!FTracing || FIdle))
        TraceFinished(this);
}

void TPingTrace::TraceFinished(TObject*) {
    FTracing = false;
    AskOwners();
    if (FPendingLookups > 0)
        return;
    if (!FWhoisRunning) {
        if (OnTraceEnd)
            OnTraceEnd(this);
        RaiseDone(this);
    }
    FProbeBusy = false;
    FIdle = true;
}

void TPingTrace::SmtpLaunch() {
    auto* worker = new TSMTP(FQueryText, FHost);
    worker->FOwner = this;
    worker->OnQueryResult =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender, int32_t code,
                           const std::string& query, const std::string& response) {
            // The exchange is the operation's last step: the controller is at rest again, so
            // a later WHOIS chain can end it (the window enables its commands itself).
            self.FIdle = true;
            if (self.OnSmtpResult)
                self.OnSmtpResult(sender, code, query, response);
        });
}

void TPingTrace::WhoisResolve(const std::string& server, const std::string& query) {
    FQueryText = query;
    if (OnStart)
        OnStart(this, opWhois);
    // One worker looks the server up and asks it.
    TWhois* worker = WhoisLaunch();
    worker->FLookup = server;
    worker->FFamily = FFamily;
    FWhoisRunning = false; // as while a lookup of its own ran: a trace's end is not held back
    worker->OnServerFound = Guarded(FAlive, [](TPingTrace& self, TObject*, const TagHostEnt& host) {
        self.FHost = host;
        self.FWhoisRunning = true;
        if (self.OnResolved)
            self.OnResolved(&self, opWhois, self.FHost);
    });
}

void TPingTrace::WhoisDirect(const std::string& query) {
    FQueryText = query;
    if (OnStart)
        OnStart(this, opWhois);
    WhoisLaunch();
}

TWhois* TPingTrace::WhoisLaunch() {
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
    return worker;
}

std::string TPingTrace::LoadRdapFor(const std::string& query) {
    std::string wire = WhoisWireQuery(query);
    FRdapBootstrap =
        WithKind(FRdapBootstrap ? FRdapBootstrap : std::make_shared<const rdap::Bootstrap>(),
                 rdap::ClassifyQuery(wire), FRdapFolders);
    return wire;
}

bool TPingTrace::RdapServes(const std::string& query) {
    if (!FUseRdap)
        return false;
    const std::string wire = LoadRdapFor(query);
    return !FRdapBootstrap->ServicesFor(wire).empty();
}

void TPingTrace::RdapQuery(const std::string& query) {
    FQueryText = query;
    if (OnStart)
        OnStart(this, opWhois);
    // libcurl loads while the bootstrap files are read.
    rdap::PreloadLibcurl();
    LoadRdapFor(query);
    auto* worker = new TRdapQuery(query, FRdapBootstrap, FRdapOptions);
    worker->FOwner = this;
    FWhoisRunning = true;
    worker->OnRdapStart =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender, const std::string& url) {
            if (self.OnRdapStart)
                self.OnRdapStart(sender, url);
        });
    worker->OnRdapResult =
        Guarded(FAlive, [](TPingTrace& self, TObject* sender, const rdap::LookupResult& result) {
            if (self.OnRdapResult)
                self.OnRdapResult(sender, result);
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
    return FHost.HostName.empty() ? HostAddressText(FHost) : FHost.HostName;
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
    PrepareServerCandidates(FServerList, server, target, IsAddressQuery(target), FCandidates);
}

void TPingTrace::BuildCandidates(const std::string& server, const std::string& target) {
    BuildServerCandidates(FServerList, server, target, IsAddressQuery(target), FCandidates);
}

std::string TPingTrace::NextCandidate() {
    return NextServerCandidate(FCandidates);
}

void TPingTrace::WantOwner(int32_t hop, const std::string& address) {
    if (address.empty())
        return;
    if (hopowner::IsPrivateAddress(address)) {
        hopowner::Lookup lookup;
        lookup.status = hopowner::Lookup::Status::Private;
        if (OnHopOwner)
            OnHopOwner(this, hop, lookup);
        return;
    }
    if (auto known = FOwnerKnown.find(address); known != FOwnerKnown.end()) {
        if (OnHopOwner)
            OnHopOwner(this, hop, known->second);
        return;
    }
    std::vector<int32_t>& hops = FOwnerWaiting[address];
    hops.push_back(hop);
    if (hops.size() == 1)
        FOwnerQueue.push_back(address);
    AskOwners();
}

void TPingTrace::AskOwners() {
    // While the trace runs, one exchange at a time gathers what came in meanwhile; once it has
    // ended, what is left goes at once beside the one still out.
    if (FOwnerExchanges >= (FTracing ? 1 : 2) || FOwnerQueue.empty() || FIdle)
        return;
    if (FOwnerServiceFailure.empty()) {
        // Everything that has come in so far, in one connection.
        std::vector<std::string> batch;
        batch.swap(FOwnerQueue);
        auto* worker = new TOwnerQuery(batch, TagHostEnt{});
        worker->FOwner = this;
        worker->FLookup = FAsServer;
        worker->FFamily = FFamily;
        worker->OnQueryResult =
            Guarded(FAlive, [batch](TPingTrace& self, TObject*, int32_t code, const std::string&,
                                    const std::string& answer) {
                self.OwnersAnswered(batch, code, answer);
            });
    } else {
        const std::string address = FOwnerQueue.front();
        FOwnerQueue.erase(FOwnerQueue.begin());
        if (!RdapServes(address)) {
            hopowner::Lookup lookup;
            lookup.status = hopowner::Lookup::Status::Failed;
            lookup.reason = FOwnerServiceFailure;
            SettleOwner(address, lookup);
            AskOwners();
            return;
        }
        rdap::PreloadLibcurl();
        auto* worker = new TRdapQuery(address, FRdapBootstrap, FRdapOptions);
        worker->FOwner = this;
        worker->OnRdapResult = Guarded(
            FAlive, [address](TPingTrace& self, TObject*, const rdap::LookupResult& result) {
                self.OwnerByRdap(address, result);
            });
    }
    ++FOwnerExchanges;
    ++FPendingLookups;
}

void TPingTrace::OwnersAnswered(const std::vector<std::string>& batch, int32_t code,
                                const std::string& answer) {
    --FOwnerExchanges;
    if (code != 0) {
        // This trace's other addresses go to RDAP at once: the service is not asked again.
        FOwnerServiceFailure = "the AS service " + FAsServer + ": " + FailureWords(code);
        FOwnerQueue.insert(FOwnerQueue.begin(), batch.begin(), batch.end());
    } else {
        const std::map<std::string, hopowner::Owner> owners = hopowner::ParseBulkAnswer(answer);
        for (const std::string& address : batch) {
            hopowner::Lookup lookup;
            const auto found = owners.find(address);
            if (found != owners.end() && found->second.as != 0) {
                lookup.status = hopowner::Lookup::Status::Found;
                lookup.owner = found->second;
            }
            SettleOwner(address, lookup);
        }
    }
    AskOwners();
    HopLookupSettled();
}

void TPingTrace::OwnerByRdap(const std::string& address, const rdap::LookupResult& result) {
    --FOwnerExchanges;
    hopowner::Lookup lookup;
    bool found = false;
    if (result.status == rdap::LookupResult::Status::Hit)
        lookup.owner = hopowner::OwnerFromRdap(result.record, found);
    if (found) {
        lookup.status = hopowner::Lookup::Status::FoundByRdap;
    } else {
        lookup.status = hopowner::Lookup::Status::Failed;
        lookup.reason = FOwnerServiceFailure +
                        "; RDAP: " + (result.errorLine.empty() ? "no network" : result.errorLine);
    }
    SettleOwner(address, lookup);
    AskOwners();
    HopLookupSettled();
}

void TPingTrace::SettleOwner(const std::string& address, const hopowner::Lookup& lookup) {
    FOwnerKnown[address] = lookup;
    const auto waiting = FOwnerWaiting.find(address);
    if (waiting == FOwnerWaiting.end())
        return;
    const std::vector<int32_t> hops = std::move(waiting->second);
    FOwnerWaiting.erase(waiting);
    for (int32_t hop : hops)
        if (OnHopOwner)
            OnHopOwner(this, hop, lookup);
}
