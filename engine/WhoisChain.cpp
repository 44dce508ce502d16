#include "engine/WhoisChain.h"

#include "engine/HostRoutines.h"
#include "engine/LimitNotice.h"
#include "engine/PublicSuffix.h"
#include "engine/StepFailure.h"
#include "engine/WhoisIdna.h"
#include "engine/WhoisRecord.h"
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

std::string ServerOf(const WhoisAsk& ask) {
    return ask.Server.empty() ? ask.Target : ask.Server;
}

// Why a step failed: the worker's error text, or the error's name when nothing came back;
// plain texts say it in words.
std::string FailureReason(const WhoisAsk& ask, TextStyle style) {
    // A limit notice in the window's words: a pseudo error name, as the WinSock ones.
    if (!ask.Limit.empty())
        return style == TextStyle::Plain ? "rate-limited by the server" : "Error RATE_LIMITED";
    if (style == TextStyle::Plain)
        return WhoisFailure(ask.ErrorCode).detail;
    return ask.ErrorText.empty() ? WSAErrorText(ask.ErrorCode) : ask.ErrorText;
}

// withNotice: a limit notice's line is named, where the notice is not the answer shown above.
std::string FailureLine(const WhoisAsk& ask, TextStyle style, bool withNotice) {
    const std::string notice =
        ask.Limit.empty() || !withNotice ? std::string() : " (" + ask.Limit + ")";
    return "No answer from " + ServerOf(ask) + ": " + FailureReason(ask, style) + notice;
}

// "Servers asked: " and the first `count` servers of the chain, each once, with the reason
// where a step failed ("server (reason)").
std::string ServersAskedLine(const WhoisChainState& state, size_t count, TextStyle style) {
    std::vector<std::string> notes;
    for (size_t k = 0; k < count && k < state.Asked.size(); ++k) {
        const WhoisAsk& ask = state.Asked[k];
        std::string note = ServerOf(ask);
        if (ask.ErrorCode != 0 || !ask.Limit.empty())
            note += " (" + FailureReason(ask, style) + ")";
        if (std::find(notes.begin(), notes.end(), note) == notes.end())
            notes.push_back(std::move(note));
    }
    std::string line = "Servers asked:";
    for (size_t k = 0; k < notes.size(); ++k)
        line += (k ? ", " : " ") + notes[k];
    return line;
}

int Last(const WhoisChainState& state) {
    return static_cast<int>(state.Asked.size()) - 1;
}

// limit: the answer's limit notice (then `shown` is the part of it to show), or empty.
void Record(WhoisChainState& state, const WhoisAnswer& answer,
            const std::vector<std::string>& hitKeys, const std::string& limit,
            const std::string& shown) {
    WhoisAsk ask{answer.AskedServer,
                 answer.CurrentTarget,
                 answer.Query,
                 answer.QueryText,
                 answer.ErrorCode,
                 limit.empty() ? ShownBody(answer.Converted, hitKeys) : shown,
                 std::string(),
                 limit};
    if (answer.ErrorCode != 0)
        ask.ErrorText = TrimBlanks(answer.Converted);
    state.Asked.push_back(std::move(ask));
    if (answer.ErrorCode != 0 || !limit.empty())
        return;
    state.Useful = Last(state);
    if (!Same(answer.Query, answer.LastQuery))
        return;
    const bool registry =
        std::any_of(state.Registries.begin(), state.Registries.end(), [&](const std::string& r) {
            return Same(r, answer.AskedServer) || Same(r, answer.CurrentTarget);
        });
    if (state.UserAnswer < 0 || (registry && !state.UserAnswerFromRegistry)) {
        state.UserAnswer = Last(state);
        state.UserAnswerFromRegistry = registry;
    }
}

// Words and flags are not a name: "exa mple.com" has no parent.
bool HasInnerBlank(std::string_view query) {
    query = TrimBlanks(query);
    return std::any_of(query.begin(), query.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= 0x20; });
}

std::string ParentOf(const std::string& query) {
    std::vector<std::string> labels = SplitLabels(query);
    std::string parent;
    if (labels.size() <= 2 || HasInnerBlank(query))
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

// How many names other than the user's this server has been asked.
int ParentRetriesAt(const WhoisChainState& state, const std::string& server,
                    const std::string& userQuery) {
    return static_cast<int>(
        std::count_if(state.Asked.begin(), state.Asked.end(), [&](const WhoisAsk& ask) {
            return NamesServer(ask, server) && !Same(ask.Query, userQuery);
        }));
}

// A chain's end: the best answer there is, the failure of this step, and the servers asked.
ChainView EndView(const WhoisChainState& state, bool failed) {
    ChainView view;
    view.Answer = state.UserAnswer >= 0         ? state.UserAnswer
                  : !failed || state.Useful < 0 ? Last(state)
                                                : state.Useful;
    if (failed && state.Useful >= 0)
        view.Failure = Last(state);
    // A chain of one step shows its only server in the command line already.
    if (state.Asked.size() > 1)
        view.ServersUpTo = state.Asked.size();
    return view;
}

std::string ServerOf(const WhoisChainState& state, int index) {
    return index < 0 ? std::string() : ServerOf(state.Asked[static_cast<size_t>(index)]);
}

bool MayAskRdap(const WhoisAnswer& answer, const WhoisChainState& state) {
    return answer.AutoChange && !state.RdapAsked && answer.RdapReady && answer.RdapReady();
}

WhoisStep RdapStep(const WhoisAnswer& answer, WhoisChainState& state, ChainView above) {
    state.RdapAsked = true;
    state.RdapAbove = std::move(above);
    WhoisStep step;
    step.kind = WhoisStep::AskRdap;
    step.Query = answer.LastQuery;
    step.View = state.RdapAbove;
    return step;
}

// A name with a web site of its own: not an address, a prefix or an AS number.
bool IsDomainName(std::string_view query) {
    query = TrimName(query);
    return query.find('.') != std::string_view::npos && !IsIPAddress(std::string(query)) &&
           query.find_first_of(":/ ") == std::string_view::npos;
}

std::string AnswerBlock(const WhoisAsk& ask, TextStyle style) {
    if (style == TextStyle::Plain)
        return ask.Body;
    return WhoisCommandLine(ask.Target, ask.QueryText) + std::string(kBlankLine) + ask.Body;
}

} // namespace

std::string ChainText(const WhoisChainState& state, const ChainView& view, TextStyle style) {
    auto asked = [&state](int index) -> const WhoisAsk& {
        return state.Asked[static_cast<size_t>(index)];
    };
    std::string text;
    if (view.Answer >= 0)
        text = AnswerBlock(asked(view.Answer), style);
    std::string notes;
    if (view.Failure >= 0)
        notes = FailureLine(asked(view.Failure), style, view.Answer != view.Failure);
    if (view.ServersUpTo > 0)
        notes += (notes.empty() ? "" : "\r\n") + ServersAskedLine(state, view.ServersUpTo, style);
    if (!notes.empty())
        text = view.Answer >= 0 ? text + std::string(kBlankLine) + notes : notes;
    for (const size_t index : view.Rdap) {
        const RdapPart& rdap = state.Rdap[index];
        std::string part;
        // A plain text opens with the answer itself, as with WHOIS.
        if (style == TextStyle::Window || !text.empty())
            for (const std::string& url : rdap.Urls)
                part += (part.empty() ? "" : "\r\n") + RdapCommandLine(url);
        if (!rdap.Body.empty())
            part += (part.empty() ? "" : std::string(kBlankLine)) + rdap.Body;
        text = text.empty() ? part : text + std::string(kBlankLine) + part;
    }
    return text;
}

WhoisStep ChooseWhoisStep(const WhoisAnswer& answer, const std::vector<std::string>& hitKeys,
                          WhoisChainState& state,
                          const std::function<std::string()>& nextCandidate) {
    WhoisStep step;
    std::string shown;
    step.Limit = answer.ErrorCode != 0 ? std::string() : LimitNotice(answer.Converted, &shown);
    const bool limited = !step.Limit.empty();
    const bool failed = answer.ErrorCode != 0 || limited;
    // A failed step keeps the last useful answer on show, with one line on the failure.
    const int useful = state.Useful;
    Record(state, answer, hitKeys, step.Limit, shown);
    const int self = Last(state);
    step.View.Answer = failed && useful >= 0 ? useful : self;
    // A notice is shown, and says so below itself.
    if (failed && (useful >= 0 || limited))
        step.View.Failure = self;
    step.TextServer =
        failed && !(limited && useful < 0) ? ServerOf(state, useful) : ServerOf(answer);

    const bool hit = !failed && (IsHitAnswer(answer.Converted, hitKeys) ||
                                 RecordNamesQuery(answer.Converted, answer.Query) ||
                                 StatesRegistration(answer.Converted, answer.Query));
    step.AnswerHit = hit;
    const std::string referral =
        failed ? std::string() : FindReferralFor(answer.Converted, answer.Query);
    // A referral to a server that has had this query already is as if it were not there.
    const bool refused = !referral.empty() && (WasAsked(state, referral, answer.Query) ||
                                               state.Referrals >= kMaxReferrals);

    // With auto jump on, a new referral comes first: a registry's or an RIR's record that
    // names the server holding the details is a hit only when that server has nothing better.
    if (answer.AutoChange && !referral.empty() && !refused) {
        if (hit) {
            state.PendingHit = self;
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
        state.PendingHit = -1;
        return step;
    }

    if (state.PendingHit >= 0) {
        // The referral led nowhere better: the record that named it is the answer.
        step.kind = WhoisStep::Hit;
        step.View = ChainView();
        step.View.Answer = state.PendingHit;
        if (failed)
            step.View.Failure = self;
        step.View.ServersUpTo = state.Asked.size();
        step.TextServer = ServerOf(state, state.PendingHit);
        step.OpenWeb = state.PendingOpenWeb;
        step.WebHint = state.PendingWebHint;
        state.PendingHit = -1;
        // A registrar that stopped port 43 may well answer RDAP: its record goes below.
        if (failed && !limited && MayAskRdap(answer, state)) {
            state.RdapAboveHit = true;
            WhoisStep rdap = RdapStep(answer, state, step.View);
            rdap.TextServer = step.TextServer;
            return rdap;
        }
        return step;
    }

    // A notice is no verdict on the name: neither its parent nor another server nor RDAP
    // would know more, so the chain ends here (zwhois asks the server again after a pause).
    if (limited) {
        step.kind = WhoisStep::End;
        step.View = EndView(state, true);
        step.View.Failure = self;
        step.TextServer = ServerOf(state, step.View.Answer);
        return step;
    }

    if (!failed && !IsAddressQuery(answer.Query)) {
        const int retries = ParentRetriesAt(state, ServerOf(answer), answer.LastQuery);
        std::string parent = retries < kMaxParentRetries ? ParentOf(answer.Query) : std::string();
        if (!parent.empty() && retries + 1 == kMaxParentRetries) {
            // The last retry here: straight to the registered name.
            const std::string registered = RegisteredName(answer.Query);
            if (!registered.empty())
                parent = registered;
        }
        if (!parent.empty() && !WasAsked(state, ServerOf(answer), parent)) {
            step.kind = WhoisStep::RetryParent;
            step.Query = parent;
            return step;
        }
    }

    // The server whose answer a chain's end shows.
    const std::string endServer = state.UserAnswer >= 0 ? ServerOf(state, state.UserAnswer)
                                  : !failed             ? ServerOf(answer)
                                                        : ServerOf(state, state.Useful);
    if (!referral.empty() && !(answer.AutoChange && refused)) {
        // Auto jump off: a referral ends the chain, the sweep is not consulted.
        step.kind = WhoisStep::End;
        step.Referral = referral;
        step.View = EndView(state, failed);
        step.TextServer = endServer;
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
        if (failed && state.Useful < 0) {
            ChainView above;
            above.Failure = self;
            if (state.Asked.size() > 1)
                above.ServersUpTo = state.Asked.size();
            return RdapStep(answer, state, std::move(above));
        }
        WhoisStep rdap = RdapStep(answer, state, EndView(state, failed));
        rdap.TextServer = endServer;
        return rdap;
    }
    step.kind = WhoisStep::End;
    step.Referral = referral;
    step.ReferralRefused = answer.AutoChange && refused;
    step.View = EndView(state, failed);
    step.TextServer = endServer;
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

NameLimit CheckNameLimits(std::string_view query) {
    NameLimit limit;
    const std::string_view name = TrimName(query.substr(0, query.find('/')));
    if (IsAddressQuery(std::string(TrimBlanks(query))) || !IsDomainName(name))
        return limit;
    const std::string wire = WhoisWireQuery(name);
    if (wire.size() > kMaxNameBytes) {
        limit.kind = NameLimit::NameTooLong;
        limit.bytes = wire.size();
        return limit;
    }
    size_t start = 0, number = 1;
    for (size_t dot = wire.find('.');; dot = wire.find('.', start), ++number) {
        const size_t length = (dot == std::string::npos ? wire.size() : dot) - start;
        if (length > kMaxLabelBytes) {
            limit.kind = NameLimit::LabelTooLong;
            limit.bytes = length;
            limit.label = number;
            return limit;
        }
        if (dot == std::string::npos)
            return limit;
        start = dot + 1;
    }
}

WhoisStep ChooseRdapEnd(const RdapOutcome& outcome, const std::string& query,
                        WhoisChainState& state) {
    const bool retried = state.RdapParentAsked;
    state.Rdap.push_back(
        {outcome.urls, std::string(TrimBlanks(NormalizeLineBreaks(outcome.text)))});
    WhoisStep step;
    // Port 43's text above, then the no-match of the user's own name unless the registered
    // name's record replaces it, then this answer.
    step.View = state.RdapAbove;
    if (retried && !outcome.hit)
        step.View.Rdap.push_back(state.Rdap.size() - 2);
    step.View.Rdap.push_back(state.Rdap.size() - 1);
    const std::string registered =
        retried || state.RdapAboveHit || !outcome.noMatch ? std::string() : RegisteredName(query);
    if (!registered.empty()) {
        state.RdapParentAsked = true;
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
