#include "cli/CliOptionTable.h"

#include <array>

namespace cli {

namespace {

using G = OptionGroup;

// In the order --help lists them.
constexpr std::array kTable = {
    OptionSpec{"--lookup", nullptr, "HOST", G::Operation, Mode::Lookup, ""},
    OptionSpec{"--expn", nullptr, "USER@HOST", G::Operation, Mode::Expn, ""},
    OptionSpec{"--ping", nullptr, "HOST", G::Operation, Mode::Ping, ""},
    OptionSpec{"--trace", nullptr, "HOST", G::Operation, Mode::Trace, ""},
    OptionSpec{"-h", nullptr, "HOST", G::Whois, Mode::Whois,
               "ask HOST first (default: the first server of Server.wis for the query)"},
    OptionSpec{"-p", nullptr, "PORT", G::Whois, Mode::Whois, "connect to PORT instead of 43"},
    OptionSpec{"-4", "-6", nullptr, G::Whois, Mode::Whois,
               "use only IPv4, or only IPv6, addresses (lookups, probes, WHOIS);\n"
               "an address typed in the other family is refused"},
    OptionSpec{"--no-recursion", nullptr, nullptr, G::Whois, Mode::Whois,
               "do not follow a referral to the server an answer names"},
    OptionSpec{"--no-sweep", nullptr, nullptr, G::Whois, Mode::Whois,
               "do not go on to the next server of Server.wis after no match"},
    OptionSpec{"--encoding", nullptr, "MODE", G::Whois, Mode::Whois,
               "auto, jis, sjis, euc or utf-8 (default: the window's setting, else auto)"},
    OptionSpec{"--verbose", nullptr, nullptr, G::Whois, Mode::Whois,
               "print each step's \"whois -h server query\" or \"rdap URL\" on\n"
               "standard error"},
    OptionSpec{"--json", nullptr, nullptr, G::Whois, Mode::Whois,
               "print one JSON object per query, its \"record\" the fields read"},
    OptionSpec{"--brief", nullptr, nullptr, G::Whois, Mode::Whois,
               "print the registrar, dates, status and name servers (or the\n"
               "network and its owner) instead of the whole answer"},
    OptionSpec{"-P", nullptr, "N", G::Whois, Mode::Whois,
               "at most N queries in flight at once, over all servers (default {P})"},
    OptionSpec{"--pace", nullptr, "MS", G::Whois, Mode::Whois,
               "at least MS ms between two queries to one server (default: the\n"
               "settings file's WHOISPACE)"},
    OptionSpec{"--max-wait", nullptr, "S", G::Whois, Mode::Whois,
               "how long in all a query may wait for servers that sent a limit\n"
               "notice, asked again after a growing rest (default {W})"},
    OptionSpec{"--home", nullptr, "DIR", G::Whois, Mode::Whois,
               "read Server.wis, Servhit.key and the settings from DIR"},
    OptionSpec{"--rdap", nullptr, nullptr, G::Whois, Mode::Whois,
               "ask RDAP only (the service its bootstrap files name)"},
    OptionSpec{"--no-rdap", nullptr, nullptr, G::Whois, Mode::Whois,
               "never ask RDAP (default: where port 43 cannot answer, unless the\n"
               "settings file says RDAP=0)"},
    OptionSpec{"--update-rdap", nullptr, nullptr, G::Whois, Mode::Whois,
               "download the RDAP bootstrap files into the home folder's rdap/"},
    OptionSpec{"--rdap-source", nullptr, "URL", G::Whois, Mode::Whois,
               "download them from URL instead of IANA"},
    OptionSpec{"-c", nullptr, "N", G::Probe, Mode::Whois, "echoes to send (1 to 100, default 5)"},
    OptionSpec{"-i", nullptr, "MS", G::Probe, Mode::Whois,
               "wait between a reply and the next echo (default 1000)"},
    OptionSpec{"-W", nullptr, "S", G::Probe, Mode::Whois,
               "wait per probe in seconds (default 5); a trace gives up on a\n"
               "silent hop sooner once a farther hop has answered"},
    OptionSpec{"-m", "--max-hops", "N", G::Probe, Mode::Whois,
               "trace at most N hops (1 to 255, default 30)"},
    OptionSpec{"--resolve", nullptr, nullptr, G::Probe, Mode::Whois,
               "look up the name of each hop"},
    OptionSpec{"-z", "--owners", nullptr, G::Probe, Mode::Whois,
               "show the AS that owns each hop's address (private ones are\n"
               "never sent)"},
    OptionSpec{"--as-server", nullptr, "HOST", G::Probe, Mode::Whois,
               "ask HOST for the owners (implies -z; default: the settings file's\n"
               "ASSERVER, else whois.cymru.com)"},
    OptionSpec{"--whois", nullptr, nullptr, G::Probe, Mode::Whois,
               "ask WHOIS for the target's address when the trace reaches it"},
    OptionSpec{"--help", "--version", nullptr, G::Other, Mode::Help, ""},
};

void Replace(std::string& text, std::string_view mark, int value) {
    if (const size_t at = text.find(mark); at != std::string::npos)
        text.replace(at, mark.size(), std::to_string(value));
}

} // namespace

std::span<const OptionSpec> OptionTable() {
    return kTable;
}

const OptionSpec* FindOption(std::string_view name) {
    for (const OptionSpec& option : kTable)
        if (name == option.name || (option.other && name == option.other))
            return &option;
    return nullptr;
}

std::string OptionLists(const CliOptions& defaults) {
    constexpr size_t Column = 22;
    std::string text;
    for (const auto& [group, heading] :
         {std::pair{G::Whois, "WHOIS options:\n"}, std::pair{G::Probe, "\nProbe options:\n"},
          std::pair{G::Other, "\n"}}) {
        text += heading;
        for (const OptionSpec& option : kTable) {
            if (option.group != group)
                continue;
            std::string line = std::string("  ") + option.name;
            if (option.other)
                line += std::string(", ") + option.other;
            if (option.argument)
                line += std::string(" ") + option.argument;
            std::string help = option.help;
            Replace(help, "{P}", defaults.parallel);
            Replace(help, "{W}", defaults.maxWaitS);
            if (help.empty()) {
                text += line + "\n";
                continue;
            }
            line.resize(std::max(line.size() + 2, Column), ' ');
            for (size_t at = 0, end; at < help.size(); at = end + 1) {
                end = help.find('\n', at);
                if (end == std::string::npos)
                    end = help.size();
                text += line + help.substr(at, end - at) + "\n";
                line.assign(Column, ' ');
            }
        }
    }
    return text;
}

} // namespace cli
