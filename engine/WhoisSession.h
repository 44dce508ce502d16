#pragma once

#include "engine/PingCtrl.h"
#include "engine/StepFailure.h"
#include "engine/WhoisChain.h"
#include "engine/WhoisRecord.h"
#include "engine/WhoisText.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// One WHOIS chain driven on the controller, for every front end: it listens to the
// controller's WHOIS and RDAP events, lets ChooseWhoisStep and ChooseRdapEnd decide, takes
// each step, and keeps what happened as records. Front ends only render.

// What one step came to; Pending until its answer is in (and for good after Stop).
enum class StepVerdict { Pending, Hit, Referral, NoMatch, Failed };
// How a chain ended: a hit; no hit, every server asked answered; no hit, some server failed.
enum class ChainVerdict { Hit, NoMatch, Error };

struct StepRecord {
    enum class Protocol { Whois, Rdap };
    Protocol protocol = Protocol::Whois;
    std::string server; // WHOIS: the server as asked
    std::string query;  // WHOIS: the query sent
    std::string url;    // RDAP: the URL of this fetch
    // WHOIS: the answer after conversion; empty when there was none. An RDAP step's rendered
    // record is in the chain's text.
    std::string answer;
    StepVerdict verdict = StepVerdict::Pending;
    StepFailure failure; // Failed only
    // Hit and Referral: what the answer states (RDAP: read from the JSON, the registrar's
    // record merged in).
    Registration record;
};

// A server that could not be asked or gave no answer.
struct ServerFailure {
    std::string server; // WHOIS: the server; RDAP: the URL; empty when none was found
    StepFailure failure;
};

struct SessionSettings {
    bool autoChange = true; // follow referrals, and let RDAP stand in
    bool sweep = true;      // ask the directory's next candidate after no match
    int encoding = kCodeAuto;
    std::vector<std::string> hitKeys;
    // With a pacer: how long in all this chain may wait for servers that sent a limit notice
    // before such a notice ends its step as failed.
    std::chrono::milliseconds limitWait{};
};

// Paces the WHOIS steps of chains that run side by side (zwhois's bulk runs). Without one a
// chain sends each step at once, and a limit notice ends its step.
class StepPacer {
public:
    virtual ~StepPacer() = default;
    // A step to `server` is ready: send() is called once it may go, at once or later from
    // the main loop.
    virtual void Ask(const std::string& server, std::function<void()> send) = 0;
    // That step's answer is in (limited: a limit notice, which slows the server down).
    // Returns how long the server now rests before its next step.
    virtual std::chrono::milliseconds Answered(const std::string& server, bool limited) = 0;
};

class WhoisSession {
public:
    // Binds the controller's WHOIS and RDAP events while it lives.
    explicit WhoisSession(TPingTrace& trace);
    ~WhoisSession();
    WhoisSession(const WhoisSession&) = delete;
    WhoisSession& operator=(const WhoisSession&) = delete;

    SessionSettings Settings;
    // Called before each decision, so settings that the user may change while a chain runs
    // are read as they are at that moment. May stay empty.
    std::function<void(SessionSettings&)> Refresh;
    // Called before the RDAP bootstrap is consulted (the window readies its RDAP options).
    std::function<void()> BeforeRdap;
    // Paces the WHOIS steps; not owned, may stay null.
    StepPacer* Pacer = nullptr;
    // A limit notice that will be asked again after `pause` (with a pacer only).
    std::function<void(const std::string& server, const std::string& notice,
                       std::chrono::milliseconds pause)>
        OnLimitWait;

    // A step starts: its command line ("whois -h server query", "rdap URL").
    std::function<void(const std::string& commandLine)> OnStepStart;
    // An answer was decided on: step.View is the new text (Text writes it). Called before the
    // step is taken, and OnStepTaken after it.
    std::function<void(const WhoisStep& step)> OnText;
    std::function<void(const WhoisStep& step)> OnStepTaken;

    // Starts a chain at `server`: the directory prepares its candidates, the server is asked.
    void Start(const std::string& server, const std::string& query);
    // Starts a chain of one RDAP step.
    void StartRdap(const std::string& query);
    // Starts a chain as zwhois does: at `server`, else at the directory's first server for
    // the query, else (auto jump on) at RDAP when it serves the query; with rdapOnly at RDAP.
    // When nothing serves the query the chain ends at once with a NoServer failure.
    void StartFirst(const std::string& server, const std::string& query, bool rdapOnly);

    bool Finished() const { return finished_; }
    ChainVerdict Verdict() const { return verdict_; }
    const std::vector<StepRecord>& Steps() const { return steps_; }
    // In the order they happened; a registrar's failed RDAP fetch too, under a hit.
    const std::vector<ServerFailure>& Failures() const { return failures_; }
    // Every WHOIS server asked, in order.
    std::vector<std::string> Servers() const;
    // The text the chain shows now, and the server (or URL) whose answer it holds. Both
    // empty when no server answered: the text would only repeat the failures.
    std::string AnswerText(TextStyle style) const;
    const std::string& AnswerServer() const { return answerServer_; }
    // The registration the chain ended on: the hit's record, with the registry's record of
    // the same name above it merged in (MergeRecords). Empty without a hit.
    Registration Record() const;
    // A view of this chain's records, as a step reported it.
    std::string Text(const ChainView& view, TextStyle style) const {
        return ChainText(chain_, view, style);
    }
    const std::string& Query() const { return lastQuery_; }

private:
    void Begin(const std::string& query);
    void QueryStarted(const std::string& server, const std::string& query);
    void QueryResult(int32_t code, const std::string& query, const std::string& response);
    void RdapStarted(const std::string& url);
    void RdapResult(const rdap::LookupResult& lookup);
    void Take(const WhoisStep& step);
    // Sends a WHOIS step to `server` through the pacer, if there is one.
    void Send(const std::string& server, std::function<void()> send);
    // With a pacer: whether a limit notice is asked again instead of ending the step.
    bool AskAgain(const std::string& query, const std::string& notice);
    StepRecord& Current(StepRecord::Protocol protocol);

    TPingTrace& trace_;
    WhoisChainState chain_;
    std::string lastQuery_, askedServer_;
    bool finished_ = true;
    ChainVerdict verdict_ = ChainVerdict::NoMatch;
    std::vector<StepRecord> steps_;
    std::vector<ServerFailure> failures_;
    // What AnswerText shows, when anything.
    ChainView answerView_;
    bool answerShown_ = false;
    std::string answerServer_;
    bool stepOpen_ = false; // the last record waits for its answer
    // The server of the step in flight, as the pacer knows it, and the pauses after limit
    // notices so far.
    std::string pacedServer_;
    std::chrono::milliseconds waited_{};
};
