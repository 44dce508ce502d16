#include "cli/CliOptions.h"
#include "cli/CliOptionTable.h"
#include "cli/CliOutput.h"

#include <sys/socket.h>

#include "engine/HostRoutines.h"
#include "engine/QueryClients.h"
#include "engine/WhoisChain.h"
#include "engine/WhoisText.h"
#include "platform/Utf8.h"

#include <charconv>
#include <map>

namespace cli {

namespace {

bool ParseNumber(const std::string& text, int low, int high, int& value) {
    if (text.empty())
        return false;
    int parsed = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

bool ParseEncoding(const std::string& name, int& code) {
    static const std::map<std::string, int> names = {{"auto", kCodeAuto},  {"jis", kCodeJis},
                                                     {"sjis", kCodeSjis},  {"euc", kCodeEuc},
                                                     {"utf-8", kCodeUtf8}, {"utf8", kCodeUtf8}};
    auto it = names.find(name);
    if (it == names.end())
        return false;
    code = it->second;
    return true;
}

// A value as a one-line message echoes it: every control character, TAB and LF too, shown
// as the terminal output shows them.
std::string Quoted(const std::string& value) {
    return TerminalText(value, false);
}

// "IPv4" or "IPv6" when `host` is an address typed in the family that `family` excludes.
const char* OtherFamily(const std::string& host, int family) {
    TIn6Addr address;
    if (family == AF_INET6 && IsIPAddress(host))
        return "IPv4";
    if (family == AF_INET && ParseIPv6(host.substr(0, host.find('%')), address))
        return "IPv6";
    return nullptr;
}

class Parser {
public:
    Parser(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}

    std::optional<CliOptions> Run() {
        for (size_t k = 0; k < args_.size(); ++k) {
            const std::string& arg = args_[k];
            if (onlyQueries_ || arg == "-" || arg.empty() || arg[0] != '-') {
                options_.queries.push_back(arg);
                continue;
            }
            if (arg == "--") {
                onlyQueries_ = true;
                continue;
            }
            std::string name = arg, value;
            bool hasValue = false;
            if (arg.rfind("--", 0) == 0) {
                if (size_t eq = arg.find('='); eq != std::string::npos) {
                    name = arg.substr(0, eq);
                    value = arg.substr(eq + 1);
                    hasValue = true;
                }
            } else if (arg.size() > 2) {
                // "-hwhois.example" as GNU whois takes it.
                name = arg.substr(0, 2);
                value = arg.substr(2);
                hasValue = true;
            }
            const OptionSpec* option = FindOption(name);
            if (option && option->argument) {
                if (!hasValue) {
                    if (k + 1 >= args_.size())
                        return Fail("option " + name + " needs a value");
                    value = args_[++k];
                }
                if (!TakeValue(*option, value))
                    return std::nullopt;
                continue;
            }
            if (hasValue || !option || !FindFlag(name))
                return Fail("unknown option " + Quoted(arg));
        }
        return Finish();
    }

private:
    std::optional<CliOptions> Fail(const std::string& message) {
        error_ = message;
        return std::nullopt;
    }

    bool FindFlag(const std::string& name) {
        if (name == "--no-recursion")
            options_.recursion = false;
        else if (name == "--no-sweep")
            options_.sweep = false;
        else if (name == "--verbose")
            options_.verbose = true;
        else if (name == "--json")
            options_.json = true;
        else if (name == "--brief")
            options_.brief = true;
        else if (name == "--rdap")
            options_.rdapOnly = true;
        else if (name == "--no-rdap")
            options_.noRdap = true;
        else if (name == "--update-rdap")
            updateRdap_ = true;
        else if (name == "--resolve")
            resolveGiven_ = options_.resolveHops = true;
        else if (name == "--whois")
            whoisGiven_ = options_.whoisAfterTrace = true;
        else if (name == "-z" || name == "--owners")
            ownersGiven_ = options_.traceOwners = true;
        else if (name == "-4")
            family4_ = true;
        else if (name == "-6")
            family6_ = true;
        else if (name == "--help")
            help_ = true;
        else if (name == "--version")
            version_ = true;
        else
            return false;
        return true;
    }

    bool TakeValue(const OptionSpec& option, const std::string& value) {
        const std::string name = option.name;
        if (option.group == OptionGroup::Operation) {
            if (modeGiven_) {
                error_ = "only one of --lookup, --expn, --ping and --trace may be given";
                return false;
            }
            modeGiven_ = true;
            options_.mode = option.mode;
            options_.target = value;
            return true;
        }
        if (name == "-h") {
            serverGiven_ = true;
            options_.server = value;
        } else if (name == "-p") {
            int port = 0;
            if (!ParseNumber(value, 1, 65535, port)) {
                error_ = "bad port '" + Quoted(value) + "'";
                return false;
            }
            options_.port = static_cast<uint16_t>(port);
        } else if (name == "--encoding") {
            if (!ParseEncoding(value, options_.encoding)) {
                error_ = "bad encoding '" + Quoted(value) + "' (auto, jis, sjis, euc or utf-8)";
                return false;
            }
        } else if (name == "--rdap-source") {
            options_.rdapSource = value;
        } else if (name == "--home") {
            if (value.empty()) {
                error_ = "--home needs a folder";
                return false;
            }
            options_.home = value;
        } else if (name == "-c") {
            countGiven_ = true;
            if (!ParseNumber(value, 1, 100, options_.count)) {
                error_ = "bad count '" + Quoted(value) + "' (1 to 100)";
                return false;
            }
        } else if (name == "-i") {
            intervalGiven_ = true;
            if (!ParseNumber(value, 0, 32767, options_.intervalMs)) {
                error_ = "bad interval '" + Quoted(value) + "' (0 to 32767 ms)";
                return false;
            }
        } else if (name == "-W") {
            timeoutGiven_ = true;
            if (!ParseNumber(value, 0, 600, options_.timeoutS)) {
                error_ = "bad time-out '" + Quoted(value) + "' (0 to 600 s)";
                return false;
            }
        } else if (name == "-P" || name == "--pace" || name == "--max-wait") {
            pacingGiven_ = true;
            const bool parallel = name == "-P", pace = name == "--pace";
            int given{};
            int& field = parallel ? options_.parallel : pace ? given : options_.maxWaitS;
            const int high = parallel ? 64 : pace ? 600000 : 3600;
            const int low = parallel ? 1 : 0;
            const char* unit = parallel ? "" : pace ? " ms" : " s";
            if (!ParseNumber(value, low, high, field)) {
                error_ = "bad value '" + Quoted(value) + "' for " + name + " (" +
                         std::to_string(low) + " to " + std::to_string(high) + unit + ")";
                return false;
            }
            if (pace)
                options_.paceMs = given;
        } else if (name == "--as-server") {
            std::string reason;
            if (!CheckQueryText(value, reason)) {
                error_ = "AS server '" + Quoted(value) + "': " + reason;
                return false;
            }
            ownersGiven_ = options_.traceOwners = true;
            options_.asServer = TrimBlanks(value);
        } else if (name == "-m" || name == "--max-hops") {
            maxHopsGiven_ = true;
            if (!ParseNumber(value, 1, 255, options_.maxHops)) {
                error_ = "bad hop count '" + Quoted(value) + "' (1 to 255)";
                return false;
            }
        }
        return true;
    }

    std::optional<CliOptions> Finish() {
        if (help_) {
            options_.mode = Mode::Help;
            return options_;
        }
        if (version_) {
            options_.mode = Mode::Version;
            return options_;
        }
        if (updateRdap_) {
            if (modeGiven_ || !options_.queries.empty())
                return Fail("--update-rdap takes no query and no other operation");
            options_.mode = Mode::UpdateRdap;
            return options_;
        }
        if (!options_.rdapSource.empty())
            return Fail("--rdap-source belongs to --update-rdap");
        if (options_.rdapOnly && options_.noRdap)
            return Fail("--rdap and --no-rdap exclude each other");
        if (options_.rdapOnly && !options_.server.empty())
            return Fail("-h names a port-43 server, --rdap asks RDAP only: give one of them");
        const Mode mode = options_.mode;
        if ((countGiven_ || intervalGiven_) && mode != Mode::Ping)
            return Fail("-c and -i belong to --ping");
        if (timeoutGiven_ && mode != Mode::Ping && mode != Mode::Trace)
            return Fail("-W belongs to --ping and --trace");
        if ((resolveGiven_ || whoisGiven_) && mode != Mode::Trace)
            return Fail("--resolve and --whois belong to --trace");
        if (maxHopsGiven_ && mode != Mode::Trace)
            return Fail("-m belongs to --trace");
        if (ownersGiven_ && mode != Mode::Trace)
            return Fail("-z and --as-server belong to --trace");
        if (pacingGiven_ && mode != Mode::Whois)
            return Fail("-P, --pace and --max-wait belong to WHOIS queries");
        if (family4_ && family6_)
            return Fail("-4 and -6 exclude each other");
        options_.family = family4_ ? AF_INET : family6_ ? AF_INET6 : 0;
        std::string reason;
        if (mode == Mode::Whois) {
            if (options_.queries.empty())
                return Fail("no query given (see --help)");
            for (std::string& query : options_.queries) {
                if (query == "-")
                    continue;
                if (!CheckWhoisQuery(query, reason))
                    return Fail("query '" + Quoted(query) + "': " + reason);
                query = TrimBlanks(query);
            }
        } else {
            if (!options_.queries.empty())
                return Fail("unexpected argument '" + Quoted(options_.queries.front()) + "'");
            if (!CheckQueryText(options_.target, reason))
                return Fail("host '" + Quoted(options_.target) + "': " + reason);
            options_.target = TrimBlanks(options_.target);
            if ((mode == Mode::Ping || mode == Mode::Trace) &&
                IsUnspecifiedAddress(options_.target))
                return Fail("host '" + Quoted(options_.target) +
                            "': the unspecified address names no host");
            if (mode == Mode::Expn) {
                const size_t at = options_.target.find('@');
                if (at == std::string::npos || at == 0 || at + 1 == options_.target.size())
                    return Fail("--expn needs USER@HOST");
            }
        }
        // An empty -h is a slip, not a wish for the directory's choice.
        if (serverGiven_ && !CheckQueryText(options_.server, reason))
            return Fail("server '" + Quoted(options_.server) + "': " + reason);
        options_.server = TrimBlanks(options_.server);
        // An address of the other family can never be reached under -4 or -6.
        const std::string& host = mode == Mode::Whois ? options_.server : options_.target;
        if (const char* other = OtherFamily(host, options_.family))
            return Fail(std::string(options_.family == AF_INET6 ? "-6" : "-4") +
                        " cannot reach the " + other + " address '" + Quoted(host) + "'");
        return options_;
    }

    const std::vector<std::string>& args_;
    std::string& error_;
    CliOptions options_;
    bool onlyQueries_ = false, modeGiven_ = false, help_ = false, version_ = false;
    bool countGiven_ = false, intervalGiven_ = false, timeoutGiven_ = false;
    bool resolveGiven_ = false, whoisGiven_ = false, updateRdap_ = false, ownersGiven_ = false;
    bool maxHopsGiven_ = false, family4_ = false, family6_ = false, serverGiven_ = false,
         pacingGiven_ = false;
};

} // namespace

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    return Parser(args, error).Run();
}

std::string TrimBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool CheckQueryText(const std::string& text, std::string& error) {
    const std::string trimmed = TrimBlanks(text);
    if (trimmed.empty()) {
        error = "empty";
        return false;
    }
    // A control character could add lines to the conversation with the server.
    const int32_t refused = CheckRequestText(trimmed);
    bool control = false;
    for (size_t k = 0; k < trimmed.size() && !control; ++k)
        control = platform::ControlLength(trimmed, k) != 0;
    if (control) {
        error = "holds a control character";
        return false;
    }
    if (refused != 0) {
        error = "longer than " + std::to_string(MaxRequestText) + " bytes";
        return false;
    }
    return true;
}

bool CheckWhoisQuery(const std::string& text, std::string& error) {
    if (!CheckQueryText(text, error))
        return false;
    const NameLimit limit = CheckNameLimits(TrimBlanks(text));
    if (limit.kind == NameLimit::NameTooLong)
        error = "a domain name holds at most " + std::to_string(kMaxNameBytes) +
                " bytes, this one " + std::to_string(limit.bytes);
    else if (limit.kind == NameLimit::LabelTooLong)
        error = "a label of a domain name holds at most " + std::to_string(kMaxLabelBytes) +
                " bytes, label " + std::to_string(limit.label) + " " + std::to_string(limit.bytes);
    return limit.kind == NameLimit::Fits;
}

std::vector<std::string> SplitQueryLines(const std::string& input) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < input.size()) {
        size_t end = input.find('\n', pos);
        if (end == std::string::npos)
            end = input.size();
        std::string line = input.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        line = TrimBlanks(line);
        if (!line.empty())
            lines.push_back(std::move(line));
        pos = end + 1;
    }
    return lines;
}

} // namespace cli
