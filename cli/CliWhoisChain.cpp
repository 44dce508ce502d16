// The command line's side of a WHOIS chain. It fills and applies the chain's steps the same
// way as the window's result handler, so both follow one set of decisions.
#include "cli/CliWhoisChain.h"

#include "directory/ServerDir.h"
#include "engine/HostRoutines.h"

namespace cli {

namespace {

// The text after the step's command line and the blank line that follows it.
std::string WithoutHeader(const std::string& memo) {
    static const std::string kBlankLine = "\r\n\r\n";
    if (memo.rfind("whois -h ", 0) != 0 && memo.rfind(RdapCommandLine(""), 0) != 0)
        return memo;
    const size_t blank = memo.find(kBlankLine);
    return blank == std::string::npos ? std::string() : memo.substr(blank + kBlankLine.size());
}

std::string FailureReason(int32_t code) {
    // 11001: the server's name did not resolve; the worker then reports no text of its own.
    if (code == 11001)
        return "unknown host (" + WSAErrorText(code) + ")";
    return WSAErrorText(code);
}

} // namespace

WhoisChain::WhoisChain(TPingTrace& trace, ChainSettings settings)
    : trace_(trace), settings_(std::move(settings)) {
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

WhoisChain::~WhoisChain() {
    trace_.OnWhoisStart = nullptr;
    trace_.OnWhoisResult = nullptr;
    trace_.OnRdapStart = nullptr;
    trace_.OnRdapResult = nullptr;
}

void WhoisChain::Begin(const std::string& query) {
    result_ = ChainResult();
    finished_ = false;
    lastQuery_ = query;
    chain_.Reset();
}

void WhoisChain::Start(const std::string& server, const std::string& query) {
    Begin(query);
    chain_.Registries = RegistryServers(trace_.FServerList, query);
    trace_.PrepareCandidates(server, query);
    trace_.WhoisResolve(server, query);
}

void WhoisChain::StartRdap(const std::string& query) {
    Begin(query);
    chain_.RdapAsked = true;
    trace_.RdapQuery(query);
}

void WhoisChain::QueryStarted(const std::string& server, const std::string& query) {
    askedServer_ = server;
    result_.servers.push_back(server);
    result_.steps.push_back({"whois", server, query, ""});
    if (OnStep)
        OnStep(WhoisCommandLine(server, query));
}

void WhoisChain::QueryResult(int32_t code, const std::string& query, const std::string& response) {
    WhoisAnswer answer;
    answer.ErrorCode = code;
    answer.Query = query;
    answer.Converted = PrepareAnswer(response, settings_.encoding);
    answer.AskedServer = askedServer_;
    answer.CurrentTarget = trace_.CurrentTarget();
    answer.QueryText = trace_.FQueryText;
    answer.LastQuery = lastQuery_;
    answer.AutoChange = settings_.autoChange;
    answer.SweepCheck = settings_.sweep;
    // The bootstrap is read only when a chain may need it (and never with RDAP off).
    answer.RdapReady = [this] { return trace_.RdapServes(lastQuery_); };

    const WhoisStep step = ChooseWhoisStep(answer, settings_.hitKeys, chain_,
                                           [this] { return trace_.NextCandidate(); });
    if (code != 0)
        result_.failures.push_back({askedServer_, FailureReason(code)});
    // A text that holds no answer is only the failure, which goes with the failures.
    result_.textServer = step.TextServer;
    result_.shownText = step.TextServer.empty() ? std::string() : WithoutHeader(step.MemoText);
    Apply(step);
}

void WhoisChain::RdapStarted(const std::string& url) {
    result_.steps.push_back({"rdap", "", "", url});
    if (OnStep)
        OnStep(RdapCommandLine(url));
}

void WhoisChain::RdapResult(const rdap::LookupResult& lookup) {
    using Status = rdap::LookupResult::Status;
    const std::string url = lookup.steps.empty() ? std::string() : lookup.steps.back();
    const bool answered = lookup.status == Status::Hit || lookup.status == Status::NoMatch;
    if (!answered)
        result_.failures.push_back({url, lookup.errorLine.empty()
                                             ? "no RDAP service for " + lastQuery_
                                             : lookup.errorLine});
    const WhoisStep step = ChooseRdapEnd(OutcomeOf(lookup), lastQuery_, chain_);
    // The text now ends with the RDAP step's; without any answer it is only the failure.
    if (answered || !chain_.Useful.empty()) {
        result_.textServer = answered ? url : result_.textServer;
        result_.shownText = WithoutHeader(step.MemoText);
    } else {
        result_.textServer.clear();
        result_.shownText.clear();
    }
    Apply(step);
}

void WhoisChain::Apply(const WhoisStep& step) {
    switch (step.kind) {
    case WhoisStep::Hit:
        result_.verdict = Verdict::Hit;
        finished_ = true;
        trace_.WhoisEnded();
        break;
    case WhoisStep::RetryParent:
        trace_.WhoisDirect(step.Query);
        break;
    case WhoisStep::FollowReferral:
        trace_.WhoisResolve(step.Server, step.Query);
        break;
    case WhoisStep::NextCandidate:
        trace_.WhoisResolve(step.Server, step.Query);
        break;
    case WhoisStep::AskRdap:
        trace_.RdapQuery(step.Query);
        break;
    case WhoisStep::End:
        result_.verdict = result_.failures.empty() ? Verdict::NoMatch : Verdict::Error;
        finished_ = true;
        trace_.WhoisEnded();
        break;
    }
}

} // namespace cli
