// zwhois: the WHOIS chain and the network commands of the window, for terminals and scripts.
#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "cli/CliSession.h"
#include "cli/CliTerminal.h"
#include "platform/Privileges.h"

#include <cstdlib>
#include <iostream>
#include <malloc.h>
#include <string>
#include <string_view>

namespace {

const char kUsage[] =
    R"(Usage: zwhois [options] QUERY...      ask WHOIS, following the server chain
       zwhois --lookup HOST              print a host's name, aliases and addresses
       zwhois --expn USER@HOST           ask a mail server to expand USER (SMTP EXPN)
       zwhois --ping HOST [-c N] [-i MS] [-W S]
       zwhois --trace HOST [--resolve] [-z] [--whois] [-W S] [-m N]
       zwhois --update-rdap [--rdap-source URL]

A QUERY of "-" reads queries from standard input, one a line. Several queries run side by
side, one at a time to each server, and their answers are printed in their order.

WHOIS options:
  -h HOST             ask HOST first (default: the first server of Server.wis for the query)
  -p PORT             connect to PORT instead of 43
  -4, -6              use only IPv4, or only IPv6, addresses (lookups, probes, WHOIS);
                      an address typed in the other family is refused
  --no-recursion      do not follow a referral to the server an answer names
  --no-sweep          do not go on to the next server of Server.wis after no match
  --encoding MODE     auto, jis, sjis, euc or utf-8 (default: the window's setting, else auto)
  --verbose           print each step's "whois -h server query" or "rdap URL" on
                      standard error
  --json              print one JSON object per query, its "record" the fields read
  --brief             print the registrar, dates, status and name servers (or the
                      network and its owner) instead of the whole answer
  -P N                at most N queries in flight at once, over all servers (default {P})
  --pace MS           at least MS ms between two queries to one server (default: the
                      settings file's WHOISPACE)
  --max-wait S        how long in all a query may wait for servers that sent a limit
                      notice, asked again after a growing rest (default {W})
  --home DIR          read Server.wis, Servhit.key and the settings from DIR
  --rdap              ask RDAP only (the service its bootstrap files name)
  --no-rdap           never ask RDAP (default: where port 43 cannot answer, unless the
                      settings file says RDAP=0)
  --update-rdap       download the RDAP bootstrap files into the home folder's rdap/
  --rdap-source URL   download them from URL instead of IANA

Probe options:
  -c N                echoes to send (1 to 100, default 5)
  -i MS               wait between a reply and the next echo (default 1000)
  -W S                wait per probe in seconds (default 5); a trace gives up on a
                      silent hop sooner once a farther hop has answered
  -m, --max-hops N    trace at most N hops (1 to 255, default 30)
  --resolve           look up the name of each hop
  -z, --owners        show the AS that owns each hop's address (private ones are
                      never sent)
  --as-server HOST    ask HOST for the owners (implies -z; default: the settings file's
                      ASSERVER, else whois.cymru.com)
  --whois             ask WHOIS for the target's address when the trace reaches it

  --help, --version

Exit status: 0 every query found, 1 some query found nothing and every server
asked answered, 2 a usage error or a query without a hit where some server failed,
130 interrupted (Ctrl-C or SIGTERM). Control characters in anything printed are
shown as U+FFFD.
)";

// Puts a number in the place of its mark.
void Fill(std::string& text, std::string_view mark, int value) {
    text.replace(text.find(mark), mark.size(), std::to_string(value));
}

} // namespace

int main(int argc, char** argv) {
    // A capability set on this file by hand goes before anything is read: the probe helper
    // holds the one ping and trace need.
    platform::DropStartCapabilities();
    // Two heaps: the main thread's and one that the workers share. A short run has one or two
    // threads at work at a time and gains nothing from a heap per thread, which it would pay
    // for creating each time; one heap for all would make the main thread and a worker that
    // loads libcurl wait for each other.
    mallopt(M_ARENA_MAX, 2);
    cli::CatchInterrupts();
    cli::TerminalGuard out(std::cout), err(std::cerr);

    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = cli::ParseCliOptions(args, error);
    if (!options) {
        cli::Complain(error);
        return cli::kExitError;
    }
    switch (options->mode) {
    case cli::Mode::Help: {
        // The defaults as the options hold them.
        std::string usage = kUsage;
        const cli::CliOptions defaults;
        Fill(usage, "{P}", defaults.parallel);
        Fill(usage, "{W}", defaults.maxWaitS);
        std::cout << usage;
        return 0;
    }
    case cli::Mode::Version:
        std::cout << "zwhois " ZW_VERSION "\n";
        return 0;
    default:
        break;
    }

    int status = cli::kExitError;
    {
        cli::Session session;
        session.Trace().FFamily = options->family;
        switch (options->mode) {
        case cli::Mode::Lookup:
            status = cli::RunLookup(*options, session);
            break;
        case cli::Mode::Expn:
            status = cli::RunExpn(*options, session);
            break;
        case cli::Mode::Ping:
            status = cli::RunPing(*options, session);
            break;
        case cli::Mode::Trace:
            status = cli::RunTrace(*options, session);
            break;
        case cli::Mode::UpdateRdap:
            status = cli::RunUpdateRdap(*options, session);
            break;
        default:
            status = cli::RunWhoisQueries(*options, session);
            break;
        }
        if (status == cli::kExitInterrupted) {
            // Everything was stopped; the user waits for the prompt, not for the clean-up.
            std::cout.flush();
            std::cerr.flush();
            std::_Exit(status);
        }
    }
    std::cout.flush();
    return status;
}
