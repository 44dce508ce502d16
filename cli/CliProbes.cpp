// zwhois --lookup, --expn, --ping and --trace: the window's other commands, their results
// printed as the rows and lists the window fills.
#include "cli/CliOutput.h"
#include "cli/CliRun.h"
#include "engine/WhoisSession.h"

#include "engine/HopOwners.h"
#include "engine/HostRoutines.h"
#include "engine/IcmpProbe.h"
#include "settings/IniParam.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>

namespace cli {

namespace {

// `more`: further JSON members, each with its leading comma.
void PrintRow(bool json, int32_t number, const char* numberKey, int32_t replyTime,
              const std::string& address, const std::string& name, const std::string& more = {}) {
    if (json) {
        std::cout << "{\"" << numberKey << "\":" << number << ",\"time\":" << replyTime
                  << ",\"address\":" << JsonString(address) << ",\"name\":" << JsonString(name)
                  << more << "}\n";
    } else {
        char line[64];
        std::snprintf(line, sizeof line, "%3d  %6s  %-15s  ", static_cast<int>(number),
                      replyTime < 0 ? (numberKey[0] == 'h' ? "..." : "?")
                                    : std::to_string(replyTime).c_str(),
                      address.c_str());
        std::cout << line << name << '\n';
    }
    std::cout.flush();
}

// ping's closing lines: echoes sent and answered, the loss, and the reply times' minimum,
// mean, maximum and mean deviation; with --json one object of the same.
void PrintPingSummary(const CliOptions& options, int sent, const std::vector<int32_t>& times) {
    const int received = static_cast<int>(times.size());
    const double loss = 100.0 * (sent - received) / sent;
    double sum = 0, squares = 0;
    for (const int32_t t : times) {
        sum += t;
        squares += double(t) * t;
    }
    const double mean = received ? sum / received : 0;
    const double mdev = received ? std::sqrt(std::max(0.0, squares / received - mean * mean)) : 0;
    const auto [low, high] = std::minmax_element(times.begin(), times.end());
    char line[160];
    if (options.json) {
        std::snprintf(line, sizeof line, "{\"transmitted\":%d,\"received\":%d,\"loss\":%g", sent,
                      received, loss);
        std::cout << line;
        if (received) {
            std::snprintf(line, sizeof line, ",\"min\":%d,\"avg\":%.3f,\"max\":%d,\"mdev\":%.3f",
                          *low, mean, *high, mdev);
            std::cout << line;
        }
        std::cout << "}\n";
    } else {
        std::snprintf(line, sizeof line, "%d packets transmitted, %d received, %g%% packet loss",
                      sent, received, loss);
        std::cout << "\n--- " << TerminalText(options.target, false) << " ping statistics ---\n"
                  << line << '\n';
        if (received) {
            std::snprintf(line, sizeof line, "rtt min/avg/max/mdev = %d/%.3f/%d/%.3f ms", *low,
                          mean, *high, mdev);
            std::cout << line << '\n';
        }
    }
    std::cout.flush();
}

// Why a target has no address: its lookup's error when it could not be made at all.
std::string LookupFailure(const TagHostEnt& host, const char* notFound) {
    return host.Error != 0 ? FailureWords(host.Error) : notFound;
}

} // namespace

int RunLookup(const CliOptions& options, Session& session) {
    TPingTrace& trace = session.Trace();
    TagHostEnt host;
    bool resolved = false, done = false;
    trace.OnResolved = [&](TObject*, uint8_t, const TagHostEnt& record) {
        host = record;
        resolved = true;
    };
    trace.OnDone = [&](TObject*) { done = true; };
    trace.Lookup(options.target);
    if (!session.Pump([&] { return done && resolved; })) {
        Complain("interrupted");
        return kExitInterrupted;
    }
    if (!host.Found) {
        Complain(options.target + ": " + LookupFailure(host, "not found"));
        if (options.json)
            std::cout << "{\"query\":" << JsonString(options.target) << ",\"found\":false}\n";
        return host.Error != 0 ? kExitError : kExitNoHit;
    }
    const std::vector<std::string> addresses = HostAddressTexts(host);
    if (options.json) {
        std::cout << "{\"query\":" << JsonString(options.target)
                  << ",\"found\":true,\"name\":" << JsonString(host.HostName)
                  << ",\"aliases\":" << JsonStringArray(host.Aliases)
                  << ",\"addresses\":" << JsonStringArray(addresses) << "}\n";
    } else {
        std::cout << "Name:    " << host.HostName << '\n';
        for (const auto& alias : host.Aliases)
            std::cout << "Alias:   " << alias << '\n';
        for (const auto& address : addresses)
            std::cout << "Address: " << address << '\n';
    }
    return kExitHit;
}

int RunExpn(const CliOptions& options, Session& session) {
    const size_t at = options.target.find('@');
    const std::string user = options.target.substr(0, at);
    const std::string server = options.target.substr(at + 1);
    const HomeFiles files = FindHomeFiles(options.home);
    const int encoding = ChosenEncoding(options, files);

    TPingTrace& trace = session.Trace();
    int32_t code = 0;
    std::string response;
    bool answered = false;
    // The exchange ends with its result; the controller itself does not come to rest after it.
    trace.OnSmtpResult = [&](TObject*, int32_t resultCode, const std::string&,
                             const std::string& text) {
        code = resultCode;
        response = text;
        answered = true;
    };
    trace.Smtp(server, "EXPN " + user);
    if (!session.Pump([&] { return answered; })) {
        Complain("interrupted");
        return kExitInterrupted;
    }
    const std::string text = ToUnixLines(PrepareAnswer(response, encoding));
    if (options.json) {
        std::cout << "{\"query\":" << JsonString(options.target)
                  << ",\"server\":" << JsonString(server) << ",\"code\":" << code
                  << ",\"text\":" << JsonString(text) << "}\n";
    }
    if (code != 0) {
        Complain(server + ": " + FailureWords(code));
        return kExitError;
    }
    if (!options.json) {
        std::cout << text;
        if (!text.empty() && text.back() != '\n')
            std::cout << '\n';
    }
    return kExitHit;
}

int RunPing(const CliOptions& options, Session& session) {
    TPingTrace& trace = session.Trace();
    TagHostEnt target;
    bool unresolved = false, finished = false, waiting = false;
    int answered = 0, failed = 0, sent = 0;
    std::vector<int32_t> times;
    trace.OnResolved = [&](TObject*, uint8_t, const TagHostEnt& host) {
        target = host;
        unresolved = host.Address == 0 && host.Addresses6.empty();
    };
    trace.OnEchoReply = [&](TObject*, uint8_t status, int32_t sequence, int32_t replyTime,
                            const TagHostEnt& host) {
        ++sent;
        if (replyTime >= 0) {
            ++answered;
            times.push_back(replyTime);
        }
        PrintRow(options.json, sequence, "seq", replyTime, HostAddressText(host), host.HostName);
        // An echo that could not even be sent is no time-out: say why.
        if (status == 2 && !IcmpAccessRefused()) {
            ++failed;
            Complain("echo " + std::to_string(sequence) + " to " + HostAddressText(host) +
                     " could not be sent: " +
                     (trace.FProbeError != 0 ? FailureWords(trace.FProbeError) : "unknown error"));
        }
        // As the window's series: the reply that reaches the count, or a controller that has
        // come to rest, ends it; otherwise the next echo follows after the interval.
        if (sequence >= options.count || trace.FIdle) {
            finished = true;
            trace.Stop();
            return;
        }
        waiting = true;
        session.RunAfter(std::chrono::milliseconds(options.intervalMs), [&] {
            waiting = false;
            trace.PingContinue();
        });
    };
    trace.OnDone = [&](TObject*) {
        if (!waiting)
            finished = true;
    };
    trace.FEchoCount = options.count;
    trace.FProbeTimeOut = options.timeoutS;
    trace.Ping(options.target);
    const bool completed = session.Pump([&] { return finished; });
    // As ping: the statistics at the end, also after Ctrl-C.
    if (sent > 0)
        PrintPingSummary(options, sent, times);
    if (!completed) {
        Complain("interrupted");
        return kExitInterrupted;
    }
    if (unresolved) {
        Complain(options.target + ": " + LookupFailure(target, "unknown host"));
        return kExitError;
    }
    if (answered == 0 && IcmpAccessRefused()) {
        Complain(IcmpAccessAdvice());
        return kExitError;
    }
    return failed > 0 ? kExitError : answered > 0 ? kExitHit : kExitNoHit;
}

namespace {

// The trace's rows, printed in hop order as soon as each has its final name and owner.
class TraceRows {
public:
    TraceRows(bool json, bool owners) : json_(json), owners_(owners) {}
    // The target is reached over IPv6: its hops' addresses take up to 39 columns.
    void SetWide(bool wide) { wide_ = wide; }

    void Add(const TraceHop& hop, const std::string& name, bool awaitingName) {
        index_[hop.ttl] = rows_.size();
        // Only a hop with an address has an owner to wait for.
        rows_.push_back({hop, name, awaitingName, owners_ && !hop.address.empty(), {}});
        Flush(false);
    }
    void Name(int32_t hop, const std::string& name) {
        if (Row* row = Find(hop)) {
            row->name = name;
            row->awaiting = false;
            Flush(false);
        }
    }
    void Owner(int32_t hop, const hopowner::Lookup& lookup) {
        if (Row* row = Find(hop)) {
            row->owner = lookup;
            row->awaitingOwner = false;
            Flush(false);
        }
    }
    void Flush(bool all) {
        while (printed_ < rows_.size() &&
               (all || (!rows_[printed_].awaiting && !rows_[printed_].awaitingOwner)))
            json_ ? PrintJson(rows_[printed_++]) : PrintText(rows_[printed_++]);
        std::cout.flush();
    }

private:
    struct Row {
        TraceHop hop;
        std::string name;
        bool awaiting;
        bool awaitingOwner;
        hopowner::Lookup owner;
    };
    Row* Find(int32_t hop) {
        auto it = index_.find(hop);
        return it == index_.end() ? nullptr : &rows_[it->second];
    }
    // The window's row, its time to a tenth of a millisecond, traceroute's mark after an
    // unreachable answer, and the owner in brackets.
    void PrintText(const Row& row) const {
        const TraceHop& hop = row.hop;
        char time[32] = "...";
        if (hop.ms >= 0)
            std::snprintf(time, sizeof time, "%.1f", hop.ms);
        const std::string address = hop.address.empty() ? "- NoResponse -" : hop.address;
        std::string name = row.name;
        if (hop.status == HopStatus::TimedOut)
            name = "(Timeout)";
        else if (hop.status == HopStatus::SendError)
            name = "(Error)";
        else if (*HopStatusMark(hop.status))
            name = std::string("(Unreachable ") + HopStatusMark(hop.status) + ")";
        const std::string owner = owners_ ? hopowner::OwnerText(row.owner) : std::string();
        if (!owner.empty())
            name += (name.empty() ? "[" : "  [") + owner + "]";
        char line[96];
        std::snprintf(line, sizeof line, "%3d  %6s  %-*s  ", static_cast<int>(hop.ttl), time,
                      wide_ ? 39 : 15, address.c_str());
        std::cout << line << name << '\n';
    }
    // The record: null where nothing is known, never the rows' placeholders.
    void PrintJson(const Row& row) const {
        const TraceHop& hop = row.hop;
        char time[32] = "null";
        if (hop.ms >= 0)
            std::snprintf(time, sizeof time, "%.3f", hop.ms);
        const bool named = !row.name.empty() && row.name != "....";
        std::cout << "{\"hop\":" << hop.ttl << ",\"time\":" << time
                  << ",\"address\":" << (hop.address.empty() ? "null" : JsonString(hop.address))
                  << ",\"name\":" << (named ? JsonString(row.name) : "null") << ",\"status\":\""
                  << HopStatusName(hop.status)
                  << "\",\"reached\":" << (hop.reached ? "true" : "false");
        if (owners_)
            std::cout << ",\"owner\":" << OwnerJson(row.owner);
        std::cout << "}\n";
    }
    static std::string OwnerJson(const hopowner::Lookup& lookup) {
        using Status = hopowner::Lookup::Status;
        if (lookup.status == Status::Private)
            return "{\"private\":true}";
        if (lookup.status != Status::Found && lookup.status != Status::FoundByRdap)
            return "null";
        const hopowner::Owner& o = lookup.owner;
        return std::string("{\"as\":") + (o.as == 0 ? "null" : std::to_string(o.as)) +
               ",\"name\":" + JsonString(o.name) + ",\"prefix\":" + JsonString(o.prefix) +
               ",\"country\":" + JsonString(o.country) + ",\"registry\":" + JsonString(o.registry) +
               ",\"source\":\"" + (lookup.status == Status::Found ? "as-service" : "rdap") + "\"}";
    }
    bool json_, owners_, wide_ = false;
    std::vector<Row> rows_;
    std::map<int32_t, size_t> index_;
    size_t printed_ = 0;
};

} // namespace

int RunTrace(const CliOptions& options, Session& session) {
    TPingTrace& trace = session.Trace();
    std::unique_ptr<WhoisSession> chain;
    if (options.whoisAfterTrace) {
        chain = std::make_unique<WhoisSession>(trace);
        chain->Settings = PrepareWhois(options, FindHomeFiles(options.home), trace);
    }

    TagHostEnt target;
    TraceRows rows(options.json, options.traceOwners);
    bool unresolved = false, reached = false, finished = false, whoisStarted = false;
    bool failed = false; // a hop the trace could not probe
    std::string whoisQuery;
    trace.OnResolved = [&](TObject*, uint8_t operation, const TagHostEnt& host) {
        if (operation == opTrace) {
            target = host;
            unresolved = host.Address == 0 && host.Addresses6.empty();
            rows.SetWide(!unresolved && UsesIPv6(host));
            // traceroute's header, on stderr as its is, so the rows alone are on stdout.
            if (!unresolved && !options.json)
                std::cerr << "trace to " << options.target << " (" << HostAddressText(host) << "), "
                          << options.maxHops << " hops max" << std::endl;
        }
    };
    trace.OnHopRecord = [&](TObject*, const TraceHop& hop) {
        if (hop.status == HopStatus::SendError && !IcmpAccessRefused()) {
            // As ping says it: a probe that could not be sent is no time-out.
            failed = true;
            Complain("hop " + std::to_string(hop.ttl) + " to " + HostAddressText(target) +
                     " could not be sent: " +
                     (hop.error != 0 ? FailureWords(hop.error) : "unknown error"));
        }
        if (!hop.reached || hop.status != HopStatus::Reply) {
            // A router's name is looked up when asked; an unreachable answer ends the route
            // before the target, and no WHOIS follows.
            const bool router = hop.status == HopStatus::TimeExceeded;
            rows.Add(hop, router ? "...." : "", router && options.resolveHops);
            return;
        }
        reached = true;
        rows.Add(hop, target.HostName, false);
        // As the window's "Whois <IP> after TRACE": the chain starts at once, and the
        // controller holds the trace's end back until it is over.
        if (chain && whoisQuery.empty()) {
            // Through the session, as a plain query: the directory, else RDAP.
            whoisQuery = hop.address;
            whoisStarted = true;
            chain->StartFirst(options.server, whoisQuery, options.rdapOnly);
        }
    };
    trace.OnHopResolved = [&](TObject*, int32_t hop, const TagHostEnt& host) {
        rows.Name(hop, host.HostName);
    };
    bool ownerFailureTold = false;
    trace.OnHopOwner = [&](TObject*, int32_t hop, const hopowner::Lookup& lookup) {
        if (lookup.status == hopowner::Lookup::Status::Failed && !ownerFailureTold) {
            ownerFailureTold = true;
            Complain("hop owners: " + lookup.reason);
        }
        rows.Owner(hop, lookup);
    };
    if (options.traceOwners) {
        const HomeFiles files = FindHomeFiles(options.home);
        const TWhoisKeys keys = ReadWhoisKeys(files.SettingsFile);
        trace.FTraceOwners = true;
        trace.FAsServer = !options.asServer.empty() ? options.asServer
                          : !keys.AsServer.empty()  ? keys.AsServer
                                                    : hopowner::DefaultServer;
        // RDAP's networks stand in where the service fails.
        trace.FRdapFolders = files.RdapFolders;
        trace.FUseRdap = options.rdapOnly || (!options.noRdap && keys.UseRdap);
        trace.FRdapOptions.timeout = RdapTimeOut(keys.TimeOut);
    }
    trace.OnDone = [&](TObject*) { finished = true; };
    trace.FResolveHops = options.resolveHops;
    trace.FProbeTimeOut = options.timeoutS;
    trace.FMaxHops = options.maxHops;
    trace.Trace(options.target);
    const bool completed = session.Pump([&] { return finished && (!chain || chain->Finished()); });
    rows.Flush(true);
    if (!completed) {
        Complain("interrupted");
        return kExitInterrupted;
    }
    if (unresolved) {
        Complain(options.target + ": " + LookupFailure(target, "unknown host"));
        return kExitError;
    }
    // Without any ICMP socket the trace ends before its first hop.
    if (!reached && IcmpAccessRefused()) {
        Complain(IcmpAccessAdvice());
        return kExitError;
    }
    int status = reached ? kExitHit : failed ? kExitError : kExitNoHit;
    if (whoisStarted)
        status = std::max(status, ReportChain(*chain, options.json, false, options.brief));
    return status;
}

} // namespace cli
