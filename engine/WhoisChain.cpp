#include "engine/WhoisChain.h"

#include "engine/HostRoutines.h"
#include "engine/PublicSuffix.h"
#include "engine/StepFailure.h"
#include "engine/WhoisText.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::string_view kBlankLine = "\r\n\r\n";

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20)
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20)
        s.remove_suffix(1);
    return s;
}

// A server name or query: blanks around it and a final dot do not count.
std::string_view TrimName(std::string_view s) {
    s = TrimBlanks(s);
    if (!s.empty() && s.back() == '.')
        s.remove_suffix(1);
    return s;
}

// Server names and queries compare without regard to the case of A-Z, blanks around them or
// a final dot.
bool Same(std::string_view a, std::string_view b) {
    a = TrimName(a);
    b = TrimName(b);
    return !a.empty() && a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto fold = [](char c) {
                   return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
               };
               return fold(x) == fold(y);
           });
}

bool NamesServer(const WhoisAsk& ask, std::string_view server) {
    return Same(ask.Server, server) || Same(ask.Target, server);
}

bool WasAsked(const WhoisChainState& state, std::string_view server, std::string_view query) {
    return std::any_of(state.Asked.begin(), state.Asked.end(), [&](const WhoisAsk& ask) {
        return NamesServer(ask, server) && Same(ask.Query, query);
    });
}

std::string ServerOf(const WhoisAnswer& answer) {
    return answer.AskedServer.empty() ? answer.CurrentTarget : answer.AskedServer;
}

// Why a step failed: the worker's error text, or the error's name when nothing came back;
// plain texts say it in words.
std::string FailureReason(const WhoisAnswer& answer, const WhoisChainState& state) {
    if (state.Plain)
        return WhoisFailure(answer.ErrorCode).detail;
    std::string_view text = TrimBlanks(answer.Converted);
    return text.empty() ? WSAErrorText(answer.ErrorCode) : std::string(text);
}

std::string FailureLine(const WhoisAnswer& answer, const WhoisChainState& state) {
    return "No answer from " + ServerOf(answer) + ": " + FailureReason(answer, state);
}

void Record(WhoisChainState& state, const WhoisAnswer& answer, const std::string& memo) {
    const std::string server = ServerOf(answer);
    state.Asked.push_back({answer.AskedServer, answer.CurrentTarget, answer.Query});
    std::string note = server;
    if (answer.ErrorCode != 0)
        note += " (" + FailureReason(answer, state) + ")";
    const bool listed = std::any_of(state.AskedNotes.begin(), state.AskedNotes.end(),
                                    [&](const std::string& n) { return n == note; });
    if (!listed)
        state.AskedNotes.push_back(note);
    if (answer.ErrorCode != 0)
        return;
    state.Useful = memo;
    state.UsefulServer = server;
    if (!Same(answer.Query, answer.LastQuery))
        return;
    const bool registry =
        std::any_of(state.Registries.begin(), state.Registries.end(), [&](const std::string& r) {
            return Same(r, answer.AskedServer) || Same(r, answer.CurrentTarget);
        });
    if (state.UserAnswer.empty() || (registry && !state.UserAnswerFromRegistry)) {
        state.UserAnswer = memo;
        state.UserAnswerServer = server;
        state.UserAnswerFromRegistry = registry;
    }
}

std::string ParentOf(const std::string& query) {
    std::vector<std::string> labels = SplitLabels(query);
    std::string parent;
    if (labels.size() <= 2)
        return parent;
    for (size_t k = 1; k < labels.size(); ++k) {
        if (k > 1)
            parent += '.';
        parent += labels[k];
    }
    // A registry's answer for "co.jp" is never the user's record.
    if (IsPublicSuffix(parent))
        parent.clear();
    return parent;
}

// The text of a chain's end: the best answer there is, the failure of this step, and the
// servers asked. textServer: the server of that answer.
std::string EndText(const WhoisChainState& state, const WhoisAnswer& answer,
                    const std::string& memo, bool withServers, std::string& textServer) {
    const bool failed = answer.ErrorCode != 0;
    std::string text = !state.UserAnswer.empty()         ? state.UserAnswer
                       : !failed || state.Useful.empty() ? memo
                                                         : state.Useful;
    textServer = !state.UserAnswer.empty() ? state.UserAnswerServer
                 : !failed                 ? ServerOf(answer)
                                           : state.UsefulServer;
    std::string notes;
    if (failed && !state.Useful.empty())
        notes = FailureLine(answer, state);
    // A chain of one step shows its only server in the command line already.
    if (withServers && state.Asked.size() > 1) {
        if (!notes.empty())
            notes += "\r\n";
        notes += ServersAskedLine(state);
    }
    if (!notes.empty())
        text += std::string(kBlankLine) + notes;
    return text;
}

bool MayAskRdap(const WhoisAnswer& answer, const WhoisChainState& state) {
    return answer.AutoChange && !state.RdapAsked && answer.RdapReady && answer.RdapReady();
}

WhoisStep RdapStep(const WhoisAnswer& answer, WhoisChainState& state, std::string above) {
    state.RdapAsked = true;
    state.RdapAbove = std::move(above);
    WhoisStep step;
    step.kind = WhoisStep::AskRdap;
    step.Query = answer.LastQuery;
    step.MemoText = state.RdapAbove;
    return step;
}

// A name with a web site of its own: not an address, a prefix or an AS number.
bool IsDomainName(std::string_view query) {
    query = TrimName(query);
    return query.find('.') != std::string_view::npos && !IsIPAddress(std::string(query)) &&
           query.find_first_of(":/ ") == std::string_view::npos;
}

} // namespace

std::string ServersAskedLine(const WhoisChainState& state) {
    std::string line = "Servers asked:";
    for (size_t k = 0; k < state.AskedNotes.size(); ++k)
        line += (k ? ", " : " ") + state.AskedNotes[k];
    return line;
}

WhoisStep ChooseWhoisStep(const WhoisAnswer& answer, const std::vector<std::string>& hitKeys,
                          WhoisChainState& state,
                          const std::function<std::string()>& nextCandidate) {
    WhoisStep step;
    std::string memo;
    if (!state.Plain) {
        memo = WhoisCommandLine(answer.CurrentTarget, answer.QueryText);
        memo += kBlankLine;
    }
    memo += ShownBody(answer.Converted, hitKeys);
    const bool failed = answer.ErrorCode != 0;
    // A failed step keeps the last useful answer on show, with one line on the failure.
    const bool keepUseful = failed && !state.Useful.empty();
    step.MemoText =
        keepUseful ? state.Useful + std::string(kBlankLine) + FailureLine(answer, state) : memo;
    step.TextServer = failed ? state.UsefulServer : ServerOf(answer);
    Record(state, answer, memo);

    const bool hit = !failed && (IsHitAnswer(answer.Converted, hitKeys) ||
                                 RecordNamesQuery(answer.Converted, answer.Query));
    const std::string referral =
        failed ? std::string() : FindReferralFor(answer.Converted, answer.Query);
    // A referral to a server that has had this query already is as if it were not there.
    const bool refused = !referral.empty() && (WasAsked(state, referral, answer.Query) ||
                                               state.Referrals >= kMaxReferrals);

    // With auto jump on, a new referral comes first: a registry's or an RIR's record that
    // names the server holding the details is a hit only when that server has nothing better.
    if (answer.AutoChange && !referral.empty() && !refused) {
        if (hit) {
            state.PendingHit = memo;
            state.PendingHitServer = ServerOf(answer);
            state.PendingOpenWeb = !IsAddressQuery(answer.Query);
            state.PendingWebHint = state.PendingOpenWeb ? "www." + answer.QueryText : "";
        }
        ++state.Referrals;
        step.kind = WhoisStep::FollowReferral;
        step.Server = referral;
        step.Query = answer.Query;
        return step;
    }

    if (hit) {
        step.kind = WhoisStep::Hit;
        step.OpenWeb = !IsAddressQuery(answer.Query);
        if (step.OpenWeb)
            step.WebHint = "www." + answer.QueryText;
        state.PendingHit.clear();
        return step;
    }

    if (!state.PendingHit.empty()) {
        // The referral led nowhere better: the record that named it is the answer.
        step.kind = WhoisStep::Hit;
        step.MemoText = state.PendingHit + std::string(kBlankLine) +
                        (failed ? FailureLine(answer, state) + "\r\n" : std::string()) +
                        ServersAskedLine(state);
        step.TextServer = state.PendingHitServer;
        step.OpenWeb = state.PendingOpenWeb;
        step.WebHint = state.PendingWebHint;
        state.PendingHit.clear();
        // A registrar that stopped port 43 may well answer RDAP: its record goes below.
        if (failed && MayAskRdap(answer, state)) {
            state.RdapAboveHit = true;
            WhoisStep rdap = RdapStep(answer, state, step.MemoText);
            rdap.TextServer = step.TextServer;
            return rdap;
        }
        return step;
    }

    if (!failed && !IsAddressQuery(answer.Query)) {
        const std::string parent = ParentOf(answer.Query);
        if (!parent.empty() && !WasAsked(state, ServerOf(answer), parent)) {
            step.kind = WhoisStep::RetryParent;
            step.Query = parent;
            return step;
        }
    }

    if (!referral.empty() && !(answer.AutoChange && refused)) {
        // Auto jump off: a referral ends the chain, the sweep is not consulted.
        step.kind = WhoisStep::End;
        step.Referral = referral;
        step.MemoText = EndText(state, answer, memo, true, step.TextServer);
        return step;
    }

    std::string next = nextCandidate ? nextCandidate() : std::string();
    while (answer.SweepCheck && !next.empty() && WasAsked(state, next, answer.LastQuery))
        next = nextCandidate();
    if (answer.SweepCheck && !next.empty()) {
        step.kind = WhoisStep::NextCandidate;
        step.Server = next;
        step.Query = answer.LastQuery;
        step.StatusText = WhoisCommandLine(next, answer.LastQuery);
        return step;
    }
    // A registry's no-match is its last word on a name. An address has no registry here (its
    // servers are marked in Server.wis, not named by suffix), so the address servers' no-match
    // asks RDAP: the RIRs' RDAP holds every address they gave out.
    if (MayAskRdap(answer, state) && !state.UserAnswerFromRegistry) {
        // No registry gave its record of the name: none exists for it, or each one failed.
        if (failed && state.Useful.empty())
            return RdapStep(answer, state,
                            FailureLine(answer, state) + (state.Asked.size() > 1
                                                              ? "\r\n" + ServersAskedLine(state)
                                                              : std::string()));
        std::string textServer;
        std::string above = EndText(state, answer, memo, true, textServer);
        WhoisStep rdap = RdapStep(answer, state, std::move(above));
        rdap.TextServer = textServer;
        return rdap;
    }
    step.kind = WhoisStep::End;
    step.Referral = referral;
    step.ReferralRefused = answer.AutoChange && refused;
    step.MemoText = EndText(state, answer, memo, true, step.TextServer);
    return step;
}

std::string RdapCommandLine(std::string_view url) {
    return "rdap " + std::string(url);
}

std::string RegisteredName(const std::string& query) {
    if (IsAddressQuery(query) || !IsDomainName(query))
        return {};
    const std::vector<std::string> labels = SplitLabels(query);
    auto from = [&labels](size_t k) {
        std::string name = labels[k];
        for (size_t j = k + 1; j < labels.size(); ++j)
            name += '.' + labels[j];
        return name;
    };
    size_t k = 1;
    while (k + 1 < labels.size() && !IsPublicSuffix(from(k)))
        ++k;
    return k < 2 ? std::string() : from(k - 1);
}

WhoisStep ChooseRdapEnd(const RdapOutcome& outcome, const std::string& query,
                        WhoisChainState& state) {
    const bool retried = state.RdapParentAsked;
    // What stands above this answer: port 43's text, and the no-match of the user's own name
    // unless the registered name's record replaces it.
    std::string above = state.RdapAbove;
    if (retried && !outcome.hit)
        above += (above.empty() ? "" : std::string(kBlankLine)) + state.RdapUserPart;
    std::string part;
    // A plain text opens with the answer itself, as with WHOIS.
    if (!state.Plain || !above.empty())
        for (const std::string& url : outcome.urls)
            part += (part.empty() ? "" : "\r\n") + RdapCommandLine(url);
    const std::string body(TrimBlanks(NormalizeLineBreaks(outcome.text)));
    if (!body.empty())
        part += (part.empty() ? "" : std::string(kBlankLine)) + body;
    WhoisStep step;
    step.MemoText = above.empty() ? part : above + std::string(kBlankLine) + part;
    const std::string registered =
        retried || state.RdapAboveHit || !outcome.noMatch ? std::string() : RegisteredName(query);
    if (!registered.empty()) {
        state.RdapParentAsked = true;
        state.RdapUserPart = part;
        step.kind = WhoisStep::AskRdap;
        step.Query = registered;
    } else if (outcome.hit) {
        step.kind = WhoisStep::Hit;
        step.OpenWeb = IsDomainName(query);
        step.WebHint = step.OpenWeb ? "www." + query : std::string();
    } else if (state.RdapAboveHit) {
        step.kind = WhoisStep::Hit;
        step.OpenWeb = state.PendingOpenWeb;
        step.WebHint = state.PendingWebHint;
    } else {
        step.kind = WhoisStep::End;
    }
    return step;
}
