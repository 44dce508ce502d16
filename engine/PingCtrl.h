#pragma once

#include "engine/EngineTypes.h"
#include "engine/HopOwners.h"
#include "engine/HostRoutines.h"
#include "engine/IcmpProbe.h"
#include "engine/QueryClients.h"
#include "engine/RdapQuery.h"
#include "engine/Resolvers.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The operation controller: the one object through which the window runs network work.
// Every command, step and event runs on the main thread (platform::CurrentMainThread()).
class TPingTrace : public TObject {
public:
    TPingTrace();
    ~TPingTrace() override;
    TPingTrace(const TPingTrace&) = delete;
    TPingTrace& operator=(const TPingTrace&) = delete;

    bool FProbeBusy = false;
    uint8_t FOperation = 0;
    int32_t FPendingLookups = 0;
    std::string FQueryText;
    std::vector<std::string> FServerList, FCandidates;
    bool FIdle = true, FTracing = false, FWhoisRunning = false;
    TagHostEnt FHost;
    int32_t FEchoSent = 0, FEchoCount = 5, FProbeTimeOut = 5000, FEchoSerial = 0;
    bool FResolveHops = false;
    // Each answered hop's owner, asked of FAsServer (port 43) while the trace runs; RDAP's
    // network where that service fails.
    bool FTraceOwners = false;
    std::string FAsServer = hopowner::DefaultServer;
    // The highest TTL a trace probes (1 to 255); the window traces as far as 255.
    int32_t FMaxHops = 255;
    // The WinSock code of the last echo that failed (status 2), 0 after one that did not; for
    // a trace, of its hop that failed.
    int32_t FProbeError = 0;
    // The port every WHOIS step connects to; only the command-line front end changes it.
    uint16_t FWhoisPort = 43;
    // AF_INET or AF_INET6 restricts every lookup (targets and WHOIS servers) to that
    // family; 0, the window's choice, takes both with IPv4 first.
    int FFamily = 0;
    // RDAP where port 43 cannot answer: whether it is used, the folders of its bootstrap
    // files (the user's first, then the shipped one), each fetch's time-out and CA file.
    bool FUseRdap = true;
    std::vector<std::string> FRdapFolders;
    rdap::FetchOptions FRdapOptions;

    // Events: optional, raised only when bound.
    TResolvedEvent OnResolved;
    TEchoReplyEvent OnEchoReply;
    TTraceHopEvent OnTraceHop;
    // The same hop as a record, raised right after OnTraceHop.
    std::function<void(TObject* Sender, const TraceHop& Hop)> OnHopRecord;
    TNotifyEvent OnTraceEnd;
    THopResolvedEvent OnHopResolved;
    // Once per hop with an address, when FTraceOwners; the trace's end waits for them all.
    std::function<void(TObject* Sender, int32_t Hop, const hopowner::Lookup& Owner)> OnHopOwner;
    TQueryResultEvent OnWhoisResult;
    TNotifyEvent OnDone;
    TOperationEvent OnStart;
    TLookupStartEvent OnLookupStart;
    TQueryStartEvent OnWhoisStart;
    TQueryResultEvent OnSmtpResult;
    TRdapStartEvent OnRdapStart;
    TRdapResultEvent OnRdapResult;

    void Lookup(const std::string& target);
    void Ping(const std::string& target);
    void PingContinue();
    void Trace(const std::string& target);
    void Smtp(const std::string& server, const std::string& text);
    void WhoisResolve(const std::string& server, const std::string& query);
    void WhoisDirect(const std::string& query);
    void WhoisEnded();
    // RDAP is on and its bootstrap names a service for the query (read at first use).
    bool RdapServes(const std::string& query);
    // One RDAP step for the query, a step of the running WHOIS chain (or a chain of its own).
    void RdapQuery(const std::string& query);
    // Reads the bootstrap files again at the next use (after an update).
    void ReloadRdap() { FRdapBootstrap.reset(); }
    void Stop();
    std::string CurrentTarget() const;

    // The WHOIS server directory and candidate queue.
    void LoadServers(const std::string& path);
    void SaveServers(const std::string& path);
    void PrepareCandidates(const std::string& server, const std::string& target);
    void BuildCandidates(const std::string& server, const std::string& target);
    std::string NextCandidate();

private:
    void StartLookup(uint8_t code, const std::string& target);
    void NameResolved(TObject* worker, const TagHostEnt& host);
    // A WHOIS worker for FQueryText at FHost, bound to the controller's events.
    TWhois* WhoisLaunch();
    void SmtpLaunch();
    // The query's wire form, with the bootstrap files of its kind read (once).
    std::string LoadRdapFor(const std::string& query);
    void RaiseDone(TObject* sender);

    // Ping and trace sequencing.
    bool TryMarkBusy();
    void SendNextEcho();
    void EchoReplied(TObject* worker, uint8_t status, const tagPACKET& packet);
    void TraceBegin();
    void TraceHopArrived(TObject* worker, int32_t hop, const tagPACKET& packet);
    void HopNameResolved(TObject* worker, int32_t tag, const TagHostEnt& host);
    // One of the trace's lookups (a name, an owner exchange) is over.
    void HopLookupSettled();
    void TraceFinished(TObject* sender);

    // Hop owners: each address is asked once a trace; the addresses that arrive while an
    // exchange runs go together in the next one.
    void WantOwner(int32_t hop, const std::string& address);
    void AskOwners();
    void OwnersAnswered(const std::vector<std::string>& batch, int32_t code,
                        const std::string& answer);
    void OwnerByRdap(const std::string& address, const rdap::LookupResult& result);
    void SettleOwner(const std::string& address, const hopowner::Lookup& lookup);
    std::map<std::string, std::vector<int32_t>> FOwnerWaiting; // address -> hops
    std::map<std::string, hopowner::Lookup> FOwnerKnown;
    std::vector<std::string> FOwnerQueue;
    int FOwnerExchanges = 0; // in flight
    // Why the AS service failed this trace, in words; later addresses go to RDAP at once.
    std::string FOwnerServiceFailure;

    // Workers check this on the main thread before reaching the controller, so a result that
    // arrives after the controller is gone is dropped.
    std::shared_ptr<TPingTrace*> FAlive;
    std::shared_ptr<const rdap::Bootstrap> FRdapBootstrap;
};
