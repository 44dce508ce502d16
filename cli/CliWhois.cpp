// zwhois QUERY...: the queries read and checked, each failure and answer reported.
#include "cli/CliOutput.h"
#include "cli/CliRecord.h"
#include "cli/CliRun.h"
#include "engine/RdapQuery.h"
#include "platform/TextFile.h"
#include "settings/IniParam.h"

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
    if (options.encoding >= 0)
        return options.encoding;
    // Outside the five modes the window falls back to automatic; so does zwhois.
    const int code = ReadWhoisKeys(files.SettingsFile).CodeInDes;
    return code >= kCodeAuto && code <= kCodeUtf8 ? code : kCodeAuto;
}

namespace {

std::string FailureLine(const ServerFailure& failure) {
    return failure.server.empty() ? failure.failure.detail
                                  : failure.server + ": " + failure.failure.detail;
}

const char* VerdictName(ChainVerdict verdict) {
    switch (verdict) {
    case ChainVerdict::Hit:
        return "hit";
    case ChainVerdict::NoMatch:
        return "no match";
    case ChainVerdict::Error:
        return "error";
    }
    return "error";
}

const char* StepVerdictName(StepVerdict verdict) {
    switch (verdict) {
    case StepVerdict::Pending:
        break;
    case StepVerdict::Hit:
        return "hit";
    case StepVerdict::Referral:
        return "referral";
    case StepVerdict::NoMatch:
        return "no match";
    case StepVerdict::Failed:
        return "failed";
    }
    return "pending";
}

// The steps as a JSON array: each its protocol, the server and query or the URL, and what it
// came to.
std::string JsonSteps(const std::vector<StepRecord>& steps) {
    std::string out = "[";
    for (const StepRecord& step : steps) {
        out += (out.size() > 1 ? ",{" : "{");
        if (step.protocol == StepRecord::Protocol::Rdap)
            out += "\"protocol\":\"rdap\",\"url\":" + JsonString(step.url);
        else
            out += "\"protocol\":\"whois\",\"server\":" + JsonString(step.server) +
                   ",\"query\":" + JsonString(step.query);
        out += ",\"verdict\":" + JsonString(StepVerdictName(step.verdict)) + "}";
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
            if (!CheckWhoisQuery(line, reason)) {
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

int ReportChain(const WhoisSession& chain, bool json, bool first, bool brief) {
    const std::vector<ServerFailure>& failures = chain.Failures();
    const std::string& query = chain.Query();
    const std::string text = ToUnixLines(chain.AnswerText(TextStyle::Plain));
    // Every failure is told, also the named first server's when a later one answered.
    for (const ServerFailure& failure : failures)
        Complain(FailureLine(failure));
    if (json) {
        std::cout << "{\"query\":" << JsonString(query)
                  << ",\"servers\":" << JsonStringArray(chain.Servers())
                  << ",\"steps\":" << JsonSteps(chain.Steps())
                  << ",\"verdict\":" << JsonString(VerdictName(chain.Verdict()))
                  << ",\"server\":" << JsonString(chain.AnswerServer())
                  << ",\"text\":" << JsonString(text) << ",\"failures\":[";
        for (size_t k = 0; k < failures.size(); ++k) {
            const ServerFailure& failure = failures[k];
            std::cout << (k ? "," : "") << "{\"server\":" << JsonString(failure.server)
                      << ",\"kind\":" << JsonString(FailureKindName(failure.failure.kind))
                      << ",\"reason\":" << JsonString(failure.failure.detail) << '}';
        }
        std::cout << ']';
        if (chain.Verdict() == ChainVerdict::Error)
            std::cout << ",\"error\":" << JsonString(FailureLine(failures.back()));
        std::cout << ",\"record\":"
                  << (chain.Verdict() == ChainVerdict::Hit ? JsonRecord(chain.Record()) : "null")
                  << "}\n";
    } else if (brief) {
        if (chain.Verdict() == ChainVerdict::NoMatch)
            Complain(query + ": no match");
        if (chain.Verdict() == ChainVerdict::Hit)
            std::cout << BriefRecord(query, chain.Record());
    } else {
        if (chain.Verdict() == ChainVerdict::NoMatch)
            Complain(query + ": no match");
        if (!text.empty()) {
            if (!first)
                std::cout << '\n';
            std::cout << text;
            if (text.back() != '\n')
                std::cout << '\n';
        }
    }
    std::cout.flush();
    switch (chain.Verdict()) {
    case ChainVerdict::Hit:
        return kExitHit;
    case ChainVerdict::NoMatch:
        return kExitNoHit;
    case ChainVerdict::Error:
        break;
    }
    return kExitError;
}

SessionSettings PrepareWhois(const CliOptions& options, const HomeFiles& files, TPingTrace& trace) {
    const TWhoisKeys keys = ReadWhoisKeys(files.SettingsFile);
    trace.FWhoisPort = options.port;
    trace.FRdapFolders = files.RdapFolders;
    trace.FUseRdap = options.rdapOnly || (!options.noRdap && keys.UseRdap);
    // The window's time-out box stands for RDAP's fetches too.
    trace.FRdapOptions.timeout = RdapTimeOut(keys.TimeOut);
    try {
        trace.LoadServers(files.ServerFile);
    } catch (const std::exception& e) {
        Complain(e.what());
    }
    SessionSettings settings;
    settings.autoChange = options.recursion;
    settings.sweep = options.sweep;
    settings.encoding = ChosenEncoding(options, files);
    LoadHitKeys(files.HitKeyFile, settings.hitKeys);
    // A damaged line is left out of what was read; the user learns which.
    for (const platform::SkippedLines& skipped : platform::TakeSkippedLines()) {
        std::string numbers;
        for (const size_t line : skipped.lines)
            numbers += (numbers.empty() ? "" : ", ") + std::to_string(line);
        Complain(skipped.path + (skipped.lines.size() == 1 ? ": line " : ": lines ") + numbers +
                 (skipped.lines.size() == 1 ? " holds" : " hold") + " a zero byte; skipped");
    }
    return settings;
}

int RunWhoisQueries(const CliOptions& options, Session& session) {
    std::vector<std::string> queries;
    bool interrupted = false;
    if (!ExpandQueries(options.queries, queries, interrupted))
        return interrupted ? kExitInterrupted : kExitError;
    // RDAP alone judges answers without the hit phrases.
    const HomeFiles files = FindHomeFiles(options.home);
    if (!options.rdapOnly && !CheckWhoisFiles(files))
        return kExitError;

    return RunQueries(options, session, queries, files);
}

} // namespace cli
