#pragma once

#include "engine/PingCtrl.h"
#include "engine/WhoisText.h"

#include <string>
#include <vector>

namespace cli {

// How a chain ended: a hit; no hit, every server asked answered; no hit, some server failed.
enum class Verdict { Hit, NoMatch, Error };

// A step whose server could not be asked or gave no answer.
struct ChainFailure {
    std::string server;
    std::string reason;
};

// One step of a chain: a WHOIS query to a server, or an RDAP fetch of a URL.
struct ChainStep {
    std::string protocol; // "whois" or "rdap"
    std::string server;   // whois: the server asked
    std::string query;    // whois: the query sent
    std::string url;      // rdap: the URL fetched
};

struct ChainResult {
    Verdict verdict = Verdict::NoMatch;
    std::vector<ChainStep> steps;
    std::vector<std::string> servers; // every server asked, in order
    // The text the window shows at the end, without its header, and the server whose answer
    // it holds; both empty when no server answered at all.
    std::string textServer;
    std::string shownText;
    std::vector<ChainFailure> failures; // in the order they happened
};

struct ChainSettings {
    bool autoChange = true; // follow referrals
    bool sweep = true;      // ask the next candidate server
    int encoding = kCodeAuto;
    std::vector<std::string> hitKeys;
};

// One WHOIS chain on the controller, stepped exactly as the window steps it: each answer
// becomes a WhoisAnswer, ChooseWhoisStep decides, and the step is applied to the controller.
// Binds OnWhoisStart and OnWhoisResult while it lives.
class WhoisChain {
public:
    WhoisChain(TPingTrace& trace, ChainSettings settings);
    ~WhoisChain();
    WhoisChain(const WhoisChain&) = delete;
    WhoisChain& operator=(const WhoisChain&) = delete;

    // Starts a chain at `server`: the directory prepares its candidates, the server is asked.
    void Start(const std::string& server, const std::string& query);
    // Starts a chain of one RDAP step.
    void StartRdap(const std::string& query);
    bool Finished() const { return finished_; }
    const ChainResult& Result() const { return result_; }

    // Called with each step's command line ("whois -h server query", "rdap URL") as it starts.
    std::function<void(const std::string&)> OnStep;

private:
    void Begin(const std::string& query);
    void QueryStarted(const std::string& server, const std::string& query);
    void QueryResult(int32_t code, const std::string& query, const std::string& response);
    void RdapStarted(const std::string& url);
    void RdapResult(const rdap::LookupResult& lookup);
    void Apply(const WhoisStep& step);

    TPingTrace& trace_;
    ChainSettings settings_;
    WhoisChainState chain_;
    std::string lastQuery_, askedServer_;
    bool finished_ = true;
    ChainResult result_;
};

} // namespace cli
