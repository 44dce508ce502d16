#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// What the command line asks for. Only one operation runs per invocation.
enum class Mode { Whois, Lookup, Expn, Ping, Trace, UpdateRdap, Help, Version };

struct CliOptions {
    Mode mode = Mode::Whois;
    // WHOIS: the first server (empty: chosen from the directory) and the port of every step.
    std::string server;
    uint16_t port = 43;
    bool recursion = true;
    bool sweep = true;
    bool verbose = false;
    bool json = false;
    bool brief = false; // the record's key fields instead of the answer (--json wins)
    // RDAP: by default where port 43 cannot answer unless the settings file turns it off;
    // noRdap never, rdapOnly skips port 43. rdapSource: where --update-rdap downloads the
    // bootstrap files from.
    bool noRdap = false;
    bool rdapOnly = false;
    std::string rdapSource;
    // -1: the settings file's choice; else one of the kCode* values of engine/WhoisText.h.
    int encoding = -1;
    std::string home;
    // The queries as given; "-" stands for the lines of standard input.
    std::vector<std::string> queries;
    // --lookup, --expn, --ping, --trace: the one target.
    std::string target;
    int count = 5;         // -c: echoes per series
    int intervalMs = 1000; // -i: wait between a reply and the next echo
    int timeoutS = 5;      // -W: wait per probe
    int maxHops = 30;      // -m, --max-hops: the highest TTL a trace probes
    bool resolveHops = false;
    bool whoisAfterTrace = false;
    // -z, --owners: each hop's AS; --as-server: the IP-to-AS service asked (implies -z; none:
    // the settings file's, else the public one).
    bool traceOwners = false;
    std::string asServer;
    // -4 / -6: AF_INET or AF_INET6 for every lookup and connection; 0 takes both, IPv4 first.
    int family = 0;
    // WHOIS runs of several queries: -P, queries in flight at once (one per server at most);
    // --pace, the least ms between two queries to one server (none: the settings file's);
    // --max-wait, seconds each query may wait in all for servers that sent a limit notice.
    int parallel = 4;
    std::optional<int> paceMs;
    int maxWaitS = 60;
};

// Parses argv (without argv[0]). On a usage error returns nothing and sets `error` to a
// one-line message without the program's name.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

// Checks one query or host text before anything is sent: empty (after trimming blanks),
// control characters and over-long texts are refused with a reason.
bool CheckQueryText(const std::string& text, std::string& error);

// CheckQueryText, and for a domain name also DNS's limits: no registry holds a name of more
// than 253 bytes or with a label of more than 63.
bool CheckWhoisQuery(const std::string& text, std::string& error);

// The text without leading and trailing spaces and tabs.
std::string TrimBlanks(const std::string& text);

// The queries read from standard input: one a line; CR LF endings and blanks around a line
// are dropped and blank lines skipped.
std::vector<std::string> SplitQueryLines(const std::string& input);

} // namespace cli
