// zwhois: the WHOIS chain and the network commands of the window, for terminals and scripts.
#include "cli/CliOptionTable.h"
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

)";

// After the option lists.
const char kUsageTail[] = R"(
Exit status: 0 every query found, 1 some query found nothing and every server
asked answered, 2 a usage error or a query without a hit where some server failed,
130 interrupted (Ctrl-C or SIGTERM). Control characters in anything printed are
shown as U+FFFD.
)";

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
        // The lists from the option table, with the defaults as the options hold them.
        std::cout << kUsage << cli::OptionLists(cli::CliOptions{}) << kUsageTail;
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
