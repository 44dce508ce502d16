#include "engine/WhoisSession.h"

#include "directory/ServerDir.h"
#include "engine/LimitNotice.h"

#include <algorithm>

WhoisSession::WhoisSession(TPingTrace& trace) : trace_(trace) {
    trace_.OnWhoisStart = [this](TObject*, const std::string& server, const std::string& query) {
        QueryStarted(server, query);
    };
    trace_.OnWhoisResult = [this](TObject*, int32_t code, const std::string& query,
                                  const std::string& response) {
        QueryResult(code, query, response);
    };
    trace_.OnRdapStart = [this](TObject*, const std::string& url) { RdapStarted(url); };
    trace_.OnRdapResult = [this](TObject*, const rdap::LookupResult& lookup) {
        RdapResult(lookup);
    };
}

WhoisSession::~WhoisSession() {
    trace_.OnWhoisStart = nullptr;
    trace_.OnWhoisResult = nullptr;
    trace_.OnRdapStart = nullptr;
    trace_.OnRdapResult = nullptr;
}

void WhoisSession::Begin(const std::string& query) {
    finished_ = false;
    verdict_ = ChainVerdict::NoMatch;
    lastQuery_ = query;
    askedServer_.clear();
    steps_.clear();
    failures_.clear();
    answerView_ = ChainView();
    answerShown_ = false;
    answerServer_.clear();
    stepOpen_ = false;
    pacedServer_.clear();
    waited_ = {};
    chain_.Reset();
}

void WhoisSession::Send(const std::string& server, std::function<void()> send) {
    pacedServer_ = server;
    if (Pacer)
        Pacer->Ask(server, std::move(send));
    else
        send();
}

bool WhoisSession::AskAgain(const std::string& query, const std::string& notice) {
    const std::chrono::milliseconds pause = Pacer->Answered(pacedServer_, !notice.empty());
    if (notice.empty() || waited_ + pause > Settings.limitWait)
        return false;
    waited_ += pause;
    // The attempt leaves no record: the step is taken again as it was.
    if (stepOpen_ && !steps_.empty())
        steps_.pop_back();
    stepOpen_ = false;
    if (OnLimitWait)
        OnLimitWait(pacedServer_, notice, pause);
    const std::string server = pacedServer_;
    Send(server, [this, server, query] { trace_.WhoisResolve(server, query); });
    return true;
}

std::string WhoisSession::AnswerText(TextStyle style) const {
    return answerShown_ ? ChainText(chain_, answerView_, style) : std::string();
}

Registration WhoisSession::Record() const {
    if (verdict_ != ChainVerdict::Hit)
        return {};
    auto hit = std::find_if(steps_.rbegin(), steps_.rend(),
                            [](const StepRecord& s) { return s.verdict == StepVerdict::Hit; });
    if (hit == steps_.rend()) {
        // The registry's record stays the hit when the registrar it named failed or had no
        // record: its step referred on, and it is the record the chain ended on.
        auto registry = std::find_if(steps_.rbegin(), steps_.rend(), [](const StepRecord& s) {
            return s.verdict == StepVerdict::Referral && !s.record.Empty();
        });
        return registry == steps_.rend() ? Registration{} : registry->record;
    }
    // The registry that referred to the registrar: its record of the same name. IANA's record
    // of the TLD above a registry is another object and stays out.
    auto registry = std::find_if(hit + 1, steps_.rend(), [](const StepRecord& s) {
        return s.verdict == StepVerdict::Referral;
    });
    if (registry != steps_.rend() && !registry->record.name.empty() &&
        registry->record.name == hit->record.name)
        return MergeRecords(registry->record, hit->record);
    return hit->record;
}

void WhoisSession::Start(const std::string& server, const std::string& query) {
    Begin(query);
    // The registries of the name: their answer is the one a chain without a hit ends on.
    chain_.Registries = RegistryServers(trace_.FServerList, query);
    trace_.PrepareCandidates(server, query);
    Send(server, [this, server, query] { trace_.WhoisResolve(server, query); });
}

void WhoisSession::StartRdap(const std::string& query) {
    Begin(query);
    chain_.RdapAsked = true;
    trace_.RdapQuery(query);
}

void WhoisSession::StartFirst(const std::string& server, const std::string& query, bool rdapOnly) {
    std::string first = server;
    if (first.empty() && !rdapOnly) {
        // The directory's first candidate for the query, as the sweep would take it.
        trace_.BuildCandidates("", query);
        first = trace_.NextCandidate();
    }
    // RDAP only, or no port-43 server for the query and an RDAP service for it.
    if (rdapOnly || (first.empty() && Settings.autoChange && trace_.RdapServes(query))) {
        StartRdap(query);
        return;
    }
    if (first.empty()) {
        Begin(query);
        failures_.push_back(
            {"", {FailureKind::NoServer, "no server in Server.wis serves " + query + " (use -h)"}});
        verdict_ = ChainVerdict::Error;
        finished_ = true;
        return;
    }
    Start(first, query);
}

std::vector<std::string> WhoisSession::Servers() const {
    std::vector<std::string> servers;
    for (const StepRecord& step : steps_)
        if (step.protocol == StepRecord::Protocol::Whois)
            servers.push_back(step.server);
    return servers;
}

StepRecord& WhoisSession::Current(StepRecord::Protocol protocol) {
    // An answer without its start event (a test raising one alone) still gets its record.
    if (!stepOpen_ || steps_.empty() || steps_.back().protocol != protocol) {
        steps_.emplace_back();
        steps_.back().protocol = protocol;
        steps_.back().server = askedServer_;
    }
    stepOpen_ = false;
    return steps_.back();
}

void WhoisSession::QueryStarted(const std::string& server, const std::string& query) {
    askedServer_ = server;
    StepRecord step;
    step.server = server;
    step.query = query;
    steps_.push_back(std::move(step));
    stepOpen_ = true;
    if (OnStepStart)
        OnStepStart(WhoisCommandLine(server, query));
}

void WhoisSession::QueryResult(int32_t code, const std::string& query,
                               const std::string& response) {
    if (Refresh)
        Refresh(Settings);
    WhoisAnswer answer;
    answer.ErrorCode = code;
    answer.Query = query;
    answer.Converted = PrepareAnswer(response, Settings.encoding);
    if (Pacer && AskAgain(query, code != 0 ? std::string() : LimitNotice(answer.Converted)))
        return;
    answer.AskedServer = askedServer_;
    answer.CurrentTarget = trace_.CurrentTarget();
    answer.QueryText = trace_.FQueryText;
    answer.LastQuery = lastQuery_;
    answer.AutoChange = Settings.autoChange;
    answer.SweepCheck = Settings.sweep;
    // The bootstrap is read only when a chain may need it (and never with RDAP off).
    answer.RdapReady = [this] {
        if (BeforeRdap)
            BeforeRdap();
        return trace_.RdapServes(lastQuery_);
    };

    const WhoisStep step = ChooseWhoisStep(answer, Settings.hitKeys, chain_,
                                           [this] { return trace_.NextCandidate(); });
    StepRecord& record = Current(StepRecord::Protocol::Whois);
    if (record.query.empty())
        record.query = query;
    if (code != 0) {
        record.verdict = StepVerdict::Failed;
        record.failure = WhoisFailure(code);
        failures_.push_back({askedServer_, record.failure});
    } else if (!step.Limit.empty()) {
        record.answer = answer.Converted;
        record.verdict = StepVerdict::Failed;
        record.failure = LimitFailure(step.Limit);
        failures_.push_back({askedServer_, record.failure});
    } else {
        record.answer = answer.Converted;
        // Its own answer decides, not where the chain goes next: a registrar's no-match under
        // the registry's record ends the chain on a hit, yet is a no-match.
        record.verdict = step.kind == WhoisStep::FollowReferral ? StepVerdict::Referral
                         : step.AnswerHit                       ? StepVerdict::Hit
                                                                : StepVerdict::NoMatch;
        if (record.verdict != StepVerdict::NoMatch) {
            record.record = ReadWhoisRecord(answer.Converted, query);
            if (!record.record.network.Empty())
                record.record.network.registry = askedServer_;
        }
    }
    // A text that holds no answer is only the failure, which goes with the failures.
    answerServer_ = step.TextServer;
    answerView_ = step.View;
    answerShown_ = !step.TextServer.empty();
    Take(step);
}

void WhoisSession::RdapStarted(const std::string& url) {
    StepRecord step;
    step.protocol = StepRecord::Protocol::Rdap;
    step.url = url;
    steps_.push_back(std::move(step));
    stepOpen_ = true;
    if (OnStepStart)
        OnStepStart(RdapCommandLine(url));
}

void WhoisSession::RdapResult(const rdap::LookupResult& lookup) {
    using Status = rdap::LookupResult::Status;
    const std::string url = lookup.steps.empty() ? std::string() : lookup.steps.back();
    const bool answered = lookup.status == Status::Hit || lookup.status == Status::NoMatch;
    // This lookup's records: one per fetch, the registry's first.
    size_t first = steps_.size();
    while (first > 0 && steps_.size() - first < lookup.steps.size() &&
           steps_[first - 1].protocol == StepRecord::Protocol::Rdap)
        --first;
    if (first == steps_.size()) {
        steps_.emplace_back();
        steps_.back().protocol = StepRecord::Protocol::Rdap;
        steps_.back().url = url;
    }
    stepOpen_ = false;
    // The records in fetch order: a base that failed before the next was tried, the one that
    // answered, then the registrar. Failures come in the same order.
    const StepVerdict verdict = lookup.status == Status::Hit       ? StepVerdict::Hit
                                : lookup.status == Status::NoMatch ? StepVerdict::NoMatch
                                : lookup.status == Status::Stopped ? StepVerdict::Pending
                                                                   : StepVerdict::Failed;
    // Each record by its own answer: a registrar that has no record is a no-match under the
    // registry's hit. The answer server is the last fetch whose record is the hit.
    size_t failed = 0;
    std::string answerUrl;
    bool recordPlaced = false;
    for (size_t i = first; i < steps_.size(); ++i) {
        StepRecord& record = steps_[i];
        if (failed < lookup.failures.size() && lookup.failures[failed].url == record.url) {
            record.verdict = StepVerdict::Failed;
            record.failure = RdapFailure(lookup.failures[failed++]);
            continue;
        }
        const bool registrarMiss = lookup.registrarNoMatch && i > first && i + 1 == steps_.size();
        record.verdict = registrarMiss ? StepVerdict::NoMatch : verdict;
        if (answered && !registrarMiss)
            answerUrl = record.url;
        // The record read from the JSON goes with the first fetch that answered (the
        // registry's), the registrar's merged into it.
        if (answered && !recordPlaced && lookup.status == Status::Hit) {
            record.record = ReadRdapRecord(lookup.record);
            if (!lookup.registrarRecord.empty())
                record.record = MergeRecords(record.record, ReadRdapRecord(lookup.registrarRecord));
            if (!record.record.network.Empty() && record.record.network.registry.empty())
                record.record.network.registry = url;
        }
        recordPlaced = true;
    }
    // Every fetch that failed is a failed server like any other, a registrar's too: the
    // registry's record above it stays the answer.
    for (const rdap::FailedFetch& f : lookup.failures)
        failures_.push_back({f.url, RdapFailure(f)});
    if (lookup.status == Status::NoService) {
        StepRecord& record = steps_[first];
        record.verdict = StepVerdict::Failed;
        record.failure = {FailureKind::NoService, "no RDAP service for " + lastQuery_};
        failures_.push_back({url, record.failure});
    }
    const WhoisStep step = ChooseRdapEnd(OutcomeOf(lookup), lastQuery_, chain_);
    // The text now ends with the RDAP step's; without any answer it is only the failure.
    if (answered || chain_.Useful >= 0) {
        // A registry's record on port 43 whose registrar failed stays the hit over an RDAP
        // no-match.
        if (answered && (lookup.status == Status::Hit || !chain_.RdapAboveHit))
            answerServer_ = answerUrl;
        answerView_ = step.View;
        answerShown_ = true;
    } else {
        answerServer_.clear();
        answerShown_ = false;
    }
    Take(step);
}

void WhoisSession::Take(const WhoisStep& step) {
    if (OnText)
        OnText(step);
    switch (step.kind) {
    case WhoisStep::Hit:
        verdict_ = ChainVerdict::Hit;
        finished_ = true;
        trace_.WhoisEnded();
        break;
    case WhoisStep::RetryParent:
        Send(pacedServer_, [this, query = step.Query] { trace_.WhoisDirect(query); });
        break;
    case WhoisStep::FollowReferral:
    case WhoisStep::NextCandidate:
        Send(step.Server, [this, server = step.Server, query = step.Query] {
            trace_.WhoisResolve(server, query);
        });
        break;
    case WhoisStep::AskRdap:
        trace_.RdapQuery(step.Query);
        break;
    case WhoisStep::End:
        verdict_ = failures_.empty() ? ChainVerdict::NoMatch : ChainVerdict::Error;
        finished_ = true;
        trace_.WhoisEnded();
        break;
    }
    if (OnStepTaken)
        OnStepTaken(step);
}
