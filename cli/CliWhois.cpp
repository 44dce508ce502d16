// zwhois QUERY...: one WHOIS chain per query, one after the other.
#include "cli/CliOutput.h"
#include "cli/CliRun.h"
#include "cli/CliWhoisChain.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>

#include <poll.h>
#include <unistd.h>

namespace cli {

void Complain(const std::string& message) {
    std::cerr << "zwhois: " << message << std::endl;
}

bool ReadStandardInput(std::string& text) {
    char buffer[4096];
    for (;;) {
        if (Interrupted())
            return false;
        // Polled, so that Ctrl-C ends a wait for a terminal's input too.
        pollfd fd{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&fd, 1, 20);
        if (ready < 0 && errno != EINTR)
            return true;
        if (ready <= 0)
            continue;
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return true;
        text.append(buffer, static_cast<size_t>(got));
    }
}

int ChosenEncoding(const CliOptions& options, const HomeFiles& files) {
    return options.encoding >= 0 ? options.encoding : SettingsEncoding(files.SettingsFile);
}

namespace {

std::string FailureLine(const ChainFailure& failure) {
    return failure.server.empty() ? failure.reason : failure.server + ": " + failure.reason;
}

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Hit:
        return "hit";
    case Verdict::NoMatch:
        return "no match";
    case Verdict::Error:
        return "error";
    }
    return "error";
}

// The steps as a JSON array: each its protocol, and the server and query or the URL.
std::string JsonSteps(const std::vector<ChainStep>& steps) {
    std::string out = "[";
    for (const ChainStep& step : steps) {
        out += (out.size() > 1 ? ",{" : "{");
        out += "\"protocol\":" + JsonString(step.protocol);
        if (step.protocol == "rdap")
            out += ",\"url\":" + JsonString(step.url);
        else
            out +=
                ",\"server\":" + JsonString(step.server) + ",\"query\":" + JsonString(step.query);
        out += "}";
    }
    return out + "]";
}

// The queries with "-" replaced by the lines of standard input. False, with a message, when
// a line is not a query: nothing has been sent then.
bool ExpandQueries(const std::vector<std::string>& given, std::vector<std::string>& queries,
                   bool& interrupted) {
    bool stdinRead = false;
    for (const std::string& query : given) {
        if (query != "-") {
            queries.push_back(query);
            continue;
        }
        if (stdinRead)
            continue;
        stdinRead = true;
        std::string input;
        if (!ReadStandardInput(input)) {
            interrupted = true;
            return false;
        }
        size_t number = 0;
        for (std::string& line : SplitQueryLines(input)) {
            ++number;
            std::string reason;
            if (!CheckQueryText(line, reason)) {
                Complain("standard input, query " + std::to_string(number) + ": " + reason);
                return false;
            }
            queries.push_back(std::move(line));
        }
    }
    if (queries.empty()) {
        Complain("no query given (see --help)");
        return false;
    }
    return true;
}

} // namespace

int ReportChain(const std::string& query, const ChainResult& result, bool json, bool first) {
    // Every failure is told, also the named first server's when a later one answered.
    for (const ChainFailure& failure : result.failures)
        Complain(FailureLine(failure));
    if (json) {
        std::cout << "{\"query\":" << JsonString(query)
                  << ",\"servers\":" << JsonStringArray(result.servers)
                  << ",\"steps\":" << JsonSteps(result.steps)
                  << ",\"verdict\":" << JsonString(VerdictName(result.verdict))
                  << ",\"server\":" << JsonString(result.textServer)
                  << ",\"text\":" << JsonString(ToUnixLines(result.shownText)) << ",\"failures\":[";
        for (size_t k = 0; k < result.failures.size(); ++k) {
            const ChainFailure& failure = result.failures[k];
            std::cout << (k ? "," : "") << "{\"server\":" << JsonString(failure.server)
                      << ",\"reason\":" << JsonString(failure.reason) << '}';
        }
        std::cout << ']';
        if (result.verdict == Verdict::Error)
            std::cout << ",\"error\":" << JsonString(FailureLine(result.failures.back()));
        std::cout << "}\n";
    } else {
        if (result.verdict == Verdict::NoMatch)
            Complain(query + ": no match");
        if (!result.shownText.empty()) {
            if (!first)
                std::cout << '\n';
            std::string text = ToUnixLines(result.shownText);
            if (text.back() != '\n')
                text += '\n';
            std::cout << text;
        }
    }
    std::cout.flush();
    switch (result.verdict) {
    case Verdict::Hit:
        return kExitHit;
    case Verdict::NoMatch:
        return kExitNoHit;
    case Verdict::Error:
        break;
    }
    return kExitError;
}

ChainSettings PrepareWhois(const CliOptions& options, TPingTrace& trace) {
    const HomeFiles files = FindHomeFiles(options.home);
    trace.FWhoisPort = options.port;
    trace.FRdapFolders = files.RdapFolders;
    trace.FUseRdap = options.rdapOnly || (!options.noRdap && SettingsUseRdap(files.SettingsFile));
    try {
        trace.LoadServers(files.ServerFile);
    } catch (const std::exception& e) {
        Complain(e.what());
    }
    ChainSettings settings;
    settings.autoChange = options.recursion;
    settings.sweep = options.sweep;
    settings.encoding = ChosenEncoding(options, files);
    LoadHitKeys(files.HitKeyFile, settings.hitKeys);
    return settings;
}

int RunWhoisQueries(const CliOptions& options, Session& session) {
    std::vector<std::string> queries;
    bool interrupted = false;
    if (!ExpandQueries(options.queries, queries, interrupted))
        return interrupted ? kExitInterrupted : kExitError;
    // RDAP alone judges answers without the hit phrases.
    if (!options.rdapOnly && !CheckWhoisFiles(FindHomeFiles(options.home)))
        return kExitError;

    TPingTrace& trace = session.Trace();
    const ChainSettings settings = PrepareWhois(options, trace);
    WhoisChain chain(trace, settings);
    if (options.verbose)
        chain.OnStep = [](const std::string& line) { std::cerr << line << std::endl; };

    int status = kExitHit;
    bool first = true;
    for (const std::string& query : queries) {
        std::string server = options.server;
        if (server.empty() && !options.rdapOnly) {
            // The directory's first candidate for the query, as the sweep would take it.
            trace.BuildCandidates("", query);
            server = trace.NextCandidate();
        }
        // RDAP only, or no port-43 server for the query and an RDAP service for it.
        const bool rdapOnly =
            options.rdapOnly || (server.empty() && settings.autoChange && trace.RdapServes(query));
        if (server.empty() && !rdapOnly) {
            ChainResult none;
            none.verdict = Verdict::Error;
            none.failures.push_back({"", "no server in Server.wis serves " + query + " (use -h)"});
            status = std::max(status, ReportChain(query, none, options.json, first));
            continue;
        }
        if (rdapOnly)
            chain.StartRdap(query);
        else
            chain.Start(server, query);
        if (!session.Pump([&chain] { return chain.Finished(); })) {
            Complain("interrupted");
            return kExitInterrupted;
        }
        // The worst status of all queries: a failure outweighs a miss, a miss a hit.
        status = std::max(status, ReportChain(query, chain.Result(), options.json, first));
        first = first && chain.Result().shownText.empty();
    }
    return status;
}

} // namespace cli
