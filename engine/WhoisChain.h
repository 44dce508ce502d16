#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The decisions of a WHOIS chain, without any Qt: from one answer to the next step and the
// records to show. The window and the command-line front end both call ChooseWhoisStep.

// At most this many referrals are followed in one chain.
constexpr int kMaxReferrals = 10;
// At most this many parent names are asked at one server; the last of them is the registered
// name itself, so a deep name still reaches it.
constexpr int kMaxParentRetries = 4;

// What DNS allows a name (counted in its IDNA form, without a final dot): no registry can hold
// a longer one, so such a query is refused before anything is sent.
constexpr size_t kMaxNameBytes = 253;
constexpr size_t kMaxLabelBytes = 63;
struct NameLimit {
    enum Kind { Fits, NameTooLong, LabelTooLong } kind = Fits;
    size_t bytes = 0; // the name's or the label's length
    size_t label = 0; // LabelTooLong: which label, from 1
};
// Only a domain-shaped query is measured (a dot, no blank, not an address, prefix or AS
// number; a "/e"-style flag after a slash does not count).
NameLimit CheckNameLimits(std::string_view query);

// One step that has been answered, as the chain keeps it: the server as looked up, the
// controller's name for it, the query sent and its text as the command line shows it, and
// what came back. The texts a front end shows are written from these (ChainText).
struct WhoisAsk {
    std::string Server;
    std::string Target;
    std::string Query;
    std::string QueryText;
    int32_t ErrorCode = 0;
    std::string Body;      // ShownBody of the answer (for a failure, of the worker's text)
    std::string ErrorText; // a failure: the worker's text without blanks around it
    std::string Limit;     // the server's limit notice (LimitNotice) instead of an answer
};

// What an RDAP step found, as the chain keeps it: each fetch, and the record or why there is
// none, with CR LF line breaks and no blanks around it.
struct RdapPart {
    std::vector<std::string> Urls;
    std::string Body;
};

// What a chain's text holds, as references to the chain's records (indexes into
// WhoisChainState::Asked and ::Rdap; -1 for none). Written out by ChainText.
struct ChainView {
    int Answer = -1;          // a step's command line and answer, first
    int Failure = -1;         // then "No answer from ..." for a failed step
    size_t ServersUpTo = 0;   // then "Servers asked:" over this many steps; 0: no such line
    std::vector<size_t> Rdap; // then RDAP answers, in order
};

// What one chain remembers between its answers. A front end calls Reset when a new chain
// starts and then fills Registries.
struct WhoisChainState {
    int Referrals = 0;
    // The servers whose Server.wis suffix matches the user's query (RegistryServers of the
    // directory); their answer to that query is the one shown when the chain ends without a
    // hit. May stay empty: the first server that answered the query then stands in.
    std::vector<std::string> Registries;
    // Every step answered so far, in order: no query goes to the same server twice.
    std::vector<WhoisAsk> Asked;
    // The last answer without error.
    int Useful = -1;
    // The answer to the user's own query that the end shows, and whether it came from a
    // registry.
    int UserAnswer = -1;
    bool UserAnswerFromRegistry = false;
    // A hit whose referral was followed first: the chain ends on it when the referral
    // leads nowhere better.
    int PendingHit = -1;
    bool PendingOpenWeb = false;
    std::string PendingWebHint;
    // RDAP has been asked in this chain; its answer goes below RdapAbove, what the chain
    // would have ended on without it, which stands alone when RDAP finds nothing. RdapAboveHit:
    // that is a hit (a registry's record whose registrar failed).
    bool RdapAsked = false;
    ChainView RdapAbove;
    bool RdapAboveHit = false;
    // Each RDAP answer of the chain, in order.
    std::vector<RdapPart> Rdap;
    // RDAP found no record of the user's name and its registered name was asked instead;
    // the first answer stays above when that finds nothing too.
    bool RdapParentAsked = false;

    void Reset() { *this = WhoisChainState(); }
};

// How a chain's text is written: the window's (each answer under its command line, a
// failure by its WinSock name) or plain, for a terminal (the first answer without its command
// line, failures in words).
enum class TextStyle { Window, Plain };

// The text of `view`, from the records of `state`.
std::string ChainText(const WhoisChainState& state, const ChainView& view, TextStyle style);

// One answer of a chain, with everything the choice of the next step depends on.
struct WhoisAnswer {
    int32_t ErrorCode = 0;
    std::string Query;         // the query of this step
    std::string Converted;     // PrepareAnswer of the answer
    std::string AskedServer;   // the server name this step was sent to (as looked up)
    std::string CurrentTarget; // the controller's name for that server
    std::string QueryText;     // the controller's FQueryText
    std::string LastQuery;     // the query the chain started with
    bool AutoChange = false;   // "Auto jump Detail Server"
    bool SweepCheck = false;   // "連続検索"
    // RDAP is on and its bootstrap has a service for LastQuery. Called only when the chain
    // could take an RDAP step, since it may read the bootstrap files; unset means no.
    std::function<bool()> RdapReady;
};

// The next step of the chain and what the window shows for it.
struct WhoisStep {
    // AskRdap: the chain ends on an RDAP step for Query (the controller's RdapQuery); its
    // result goes to ChooseRdapEnd.
    enum Kind { Hit, RetryParent, FollowReferral, NextCandidate, AskRdap, End };
    Kind kind = End;
    ChainView View; // the whole new text of the text area
    // The server (as asked) whose answer View shows; empty when it shows only a failure.
    std::string TextServer;
    // RetryParent: WhoisDirect(Query). FollowReferral and NextCandidate: WhoisResolve(Server,
    // Query); NextCandidate then sets status panel 1 to StatusText.
    std::string Server;
    std::string Query;
    std::string StatusText;
    // Hit: OpenWeb is enabled with WebHint as its hint exactly when OpenWeb is set.
    bool OpenWeb = false;
    std::string WebHint;
    // End: the referral that was found and not followed (AutoChange off, or refused).
    std::string Referral;
    // End: the referral was refused because its server had been asked this query already or
    // the chain had followed kMaxReferrals already.
    bool ReferralRefused = false;
    // This answer is a hit on its own. A step can end on a hit without it: a registry's record
    // that named a registrar with nothing better.
    bool AnswerHit = false;
    // The answer was the server's limit notice (this line of it): a failed step, after which
    // the chain neither retries the parent, nor sweeps, nor asks RDAP. It ends there (Hit when
    // a registry's record that named this server is kept, else End), the notice shown.
    std::string Limit;
};

// Chooses the next step from one answer. nextCandidate is the directory's NextCandidate: it
// is called once when the sweep is consulted, and again while the sweep is on and the server
// it gave has been asked the user's query already. state records the chain so far.
WhoisStep ChooseWhoisStep(const WhoisAnswer& answer, const std::vector<std::string>& hitKeys,
                          WhoisChainState& state,
                          const std::function<std::string()>& nextCandidate);

// When ChooseWhoisStep lets an RDAP step stand in (AskRdap), with auto jump on and RdapReady,
// once per chain: the chain ends without a hit because no registry of the directory serves
// the name, or its servers failed, or the registrar that a registry's record names failed
// (the registry's record stays the hit, the registrar's RDAP record goes below it); and for
// an address, prefix or AS number also when the servers asked answered that they have no
// record (the RIRs' RDAP is authoritative). A name that its registry answered without a
// record on port 43 asks no RDAP, and a hit on port 43 asks none except in the registrar case.

// "rdap " + url: an RDAP step's command line, as "whois -h" is a WHOIS step's.
std::string RdapCommandLine(std::string_view url);

// What an RDAP step found, and the chain's end after it (Hit or End, the text in View).
struct RdapOutcome {
    bool hit = false;
    bool noMatch = false;          // the server answered that it has no such record
    std::vector<std::string> urls; // each fetch, in order
    std::string text;              // the rendered record, or why there is none (LF or CR LF)
};
// A name's no-match asks RDAP once more, for the registered name above it (the public-suffix
// rule of the port-43 parent retry): AskRdap with that name as Query.
WhoisStep ChooseRdapEnd(const RdapOutcome& outcome, const std::string& query,
                        WhoisChainState& state);

// The name a registry holds for `query`: the label just above its public suffix, or above its
// last label where no suffix of it is listed. Empty when the query is that name already, or
// is an address.
std::string RegisteredName(const std::string& query);
