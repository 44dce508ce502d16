// zwhois QUERY... and zwhois -: one WHOIS chain per query, several side by side. The pacer
// lets at most one step at a time go to each server and -P in all; a chain is started only
// when its first server can take it, so a server that rests after a limit notice holds no
// other. Each answer is printed in the order of the queries.
#include "cli/CliOutput.h"
#include "cli/CliRun.h"
#include "engine/ServerPacer.h"
#include "platform/MainThread.h"
#include "settings/IniParam.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>

#include <unistd.h>

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// What ReportChain printed for one query, held until the queries before it are printed.
struct Report {
    std::string out, err;
    int status = kExitHit;
};

// ReportChain's lines caught on their way to the streams; the streams' guard sees them when
// they are printed.
Report Capture(const WhoisSession& chain, bool json, bool brief) {
    std::ostringstream out, err;
    struct Swap {
        std::ostream& stream;
        std::streambuf* old;
        ~Swap() { stream.rdbuf(old); }
    } swapOut{std::cout, std::cout.rdbuf(out.rdbuf())},
        swapErr{std::cerr, std::cerr.rdbuf(err.rdbuf())};
    Report report;
    report.status = ReportChain(chain, json, true, brief);
    std::cout.flush();
    std::cerr.flush();
    report.out = out.str();
    report.err = err.str();
    return report;
}

// The progress line of a long run on a terminal: queries done of all, their rate, the time
// left, and the waits for servers' limits. Written straight to the terminal, redrawn in place.
class Progress {
public:
    explicit Progress(bool on) : on_(on), start_(Clock::now()) {}
    ~Progress() { Clear(); }

    void Draw(size_t done, size_t total, const ServerPacer& pacer) {
        const Clock::time_point now = Clock::now();
        if (!on_ || now < next_)
            return;
        next_ = now + kRedraw;
        char line[160];
        std::snprintf(line, sizeof line, "\rzwhois: %zu/%zu done", done, total);
        std::string text = line;
        // The rate and the time left, once there is a rate.
        if (done > 0) {
            const double rate =
                static_cast<double>(done) / std::chrono::duration<double>(now - start_).count();
            std::snprintf(line, sizeof line, ", %.1f/s, %.0f s left", rate,
                          static_cast<double>(total - done) / rate);
            text += line;
        }
        text += ", " + std::to_string(pacer.Notices()) + " limit notices";
        // The server whose rest after a limit notice ends last, if one rests.
        if (const auto [server, rest] = pacer.LongestRest(); rest > Ms::zero()) {
            std::snprintf(line, sizeof line, " rests %.1f s", rest.count() / 1e3);
            text += ", " + TerminalText(server) + line;
        }
        Write(text + "\x1b[K");
        shown_ = true;
    }
    // Takes the line away before other text goes to the terminal; it comes back at the next
    // Draw.
    void Clear() {
        if (shown_)
            Write("\r\x1b[K");
        shown_ = false;
        next_ = {};
    }

private:
    static void Write(const std::string& text) {
        [[maybe_unused]] const ssize_t wrote = ::write(STDERR_FILENO, text.data(), text.size());
    }

    static constexpr Ms kRedraw{200};
    bool on_, shown_ = false;
    Clock::time_point start_, next_{};
};

struct Job {
    std::string query, first;
    std::unique_ptr<TPingTrace> trace;
    std::unique_ptr<WhoisSession> chain;
    bool started = false, finished = false;
    Report report;
};

class BulkRun {
public:
    BulkRun(const CliOptions& options, Session& session, const std::vector<std::string>& queries,
            const HomeFiles& files)
        : options_(options), session_(session), pacer_(options.parallel, Ms(Pace(options, files))),
          progress_(queries.size() > 1 && !options.verbose && ::isatty(STDERR_FILENO)) {
        TPingTrace& plan = session.Trace();
        settings_ = PrepareWhois(options, files, plan);
        settings_.limitWait = std::chrono::seconds(options.maxWaitS);
        // A freed server wakes the main loop, which sends what waits for it.
        pacer_.OnFree = [] { platform::PostToMainThread([] {}); };
        for (const std::string& query : queries) {
            Job job;
            job.query = query;
            job.first = FirstServer(plan, query);
            jobs_.push_back(std::move(job));
        }
        // Chains that wait for a later step hold their controller; a few per step in flight.
        cap_ = static_cast<size_t>(options.parallel) * 4 + 4;
    }

    int Run() {
        const bool whole = session_.Pump([this] { return Tick(); });
        if (whole)
            return status_;
        pacer_.Drop();
        Collect();
        // The answers in by now, in the order of their queries.
        for (size_t k = printed_; k < jobs_.size(); ++k)
            if (jobs_[k].finished)
                Print(jobs_[k]);
        progress_.Clear();
        Complain("interrupted");
        return kExitInterrupted;
    }

private:
    // A negative pace is as none: a step may always go once the one before it has started.
    static int Pace(const CliOptions& options, const HomeFiles& files) {
        return options.paceMs.value_or(ReadWhoisKeys(files.SettingsFile).Pace);
    }

    // The server the chain will ask first, as WhoisSession::StartFirst chooses it; empty
    // when it starts at RDAP or nothing serves the query.
    std::string FirstServer(TPingTrace& plan, const std::string& query) const {
        if (options_.rdapOnly)
            return {};
        if (!options_.server.empty())
            return options_.server;
        plan.BuildCandidates("", query);
        return plan.NextCandidate();
    }

    bool Tick() {
        pacer_.Run();
        Collect();
        StartReady();
        while (printed_ < jobs_.size() && jobs_[printed_].finished)
            Print(jobs_[printed_]);
        progress_.Draw(done_, jobs_.size(), pacer_);
        return printed_ == jobs_.size();
    }

    // Takes each chain that has ended: its report kept, its controller freed.
    void Collect() {
        for (Job& job : jobs_) {
            if (!job.started || job.finished || !job.chain->Finished())
                continue;
            job.report = Capture(*job.chain, options_.json, options_.brief);
            job.finished = true;
            job.chain.reset();
            job.trace.reset();
            --live_;
            ++done_;
        }
    }

    // Starts, in the order of the queries, each chain whose first server is free now.
    void StartReady() {
        for (size_t k = unstarted_; k < jobs_.size() && live_ < cap_; ++k) {
            Job& job = jobs_[k];
            if (!job.started && (job.first.empty() || pacer_.Free(job.first)))
                Start(job);
            if (k == unstarted_ && job.started)
                ++unstarted_;
        }
    }

    void Start(Job& job) {
        const TPingTrace& plan = session_.Trace();
        job.trace = std::make_unique<TPingTrace>();
        TPingTrace& trace = *job.trace;
        trace.FFamily = plan.FFamily;
        trace.FWhoisPort = plan.FWhoisPort;
        trace.FRdapFolders = plan.FRdapFolders;
        trace.FUseRdap = plan.FUseRdap;
        trace.FRdapOptions = plan.FRdapOptions;
        trace.FServerList = plan.FServerList;
        job.chain = std::make_unique<WhoisSession>(trace);
        WhoisSession& chain = *job.chain;
        chain.Settings = settings_;
        chain.Pacer = &pacer_;
        if (options_.verbose) {
            chain.OnStepStart = [](const std::string& line) { std::cerr << line << std::endl; };
            chain.OnLimitWait = [](const std::string& server, const std::string& notice, Ms pause) {
                Complain(server + ": rate-limited by the server (" + notice +
                         "); asking again in " + std::to_string(pause.count() / 1000) + "." +
                         std::to_string(pause.count() % 1000 / 100) + " s");
            };
        }
        job.started = true;
        ++live_;
        chain.StartFirst(options_.server, job.query, options_.rdapOnly);
    }

    void Print(Job& job) {
        const Report& report = job.report;
        // Only what reaches the terminal takes the progress line away.
        if (!report.err.empty() || (!report.out.empty() && stdoutTerminal_))
            progress_.Clear();
        std::cerr << report.err;
        std::cerr.flush();
        // A blank line between two answers' texts, as one query after another prints them;
        // --brief's blocks follow each other, each led by its query.
        if (!options_.json && !options_.brief && !report.out.empty() && textShown_)
            std::cout << '\n';
        textShown_ = textShown_ || !report.out.empty();
        std::cout << report.out;
        std::cout.flush();
        status_ = std::max(status_, report.status);
        ++printed_;
    }

    const CliOptions& options_;
    Session& session_;
    ServerPacer pacer_;
    Progress progress_;
    SessionSettings settings_;
    std::vector<Job> jobs_;
    size_t cap_ = 1, live_ = 0, done_ = 0, printed_ = 0, unstarted_ = 0;
    bool textShown_ = false;
    bool stdoutTerminal_ = ::isatty(STDOUT_FILENO) != 0;
    int status_ = kExitHit;
};

} // namespace

int RunQueries(const CliOptions& options, Session& session, const std::vector<std::string>& queries,
               const HomeFiles& files) {
    BulkRun run(options, session, queries, files);
    return run.Run();
}

} // namespace cli
