// zwhois's option table against its man page and its parser.
#include "cli/CliOptionTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace {

std::set<std::string> TableSpellings() {
    std::set<std::string> names;
    for (const cli::OptionSpec& option : cli::OptionTable()) {
        names.insert(option.name);
        if (option.other)
            names.insert(option.other);
    }
    return names;
}

// Every option the man page sets in bold ("\fB\-\-json\fR", ".B \-z", ".BI \-h " HOST"").
std::set<std::string> ManPageSpellings() {
    std::ifstream in(ZW_CLI_MANPAGE);
    std::stringstream text;
    text << in.rdbuf();
    const std::string man = text.str();
    const std::regex bold(R"((?:\\fB|\n\.B[IR]? +)((?:\\-){1,2}[A-Za-z0-9](?:[A-Za-z0-9]|\\-)*))");
    std::set<std::string> names;
    for (auto it = std::sregex_iterator(man.begin(), man.end(), bold); it != std::sregex_iterator();
         ++it)
        names.insert(std::regex_replace((*it)[1].str(), std::regex(R"(\\-)"), "-"));
    return names;
}

TEST(OptionTable, EveryOptionIsInTheManPageAndTheOtherWayRound) {
    const std::set<std::string> man = ManPageSpellings();
    ASSERT_GT(man.size(), 20u);
    EXPECT_EQ(man, TableSpellings());
}

TEST(OptionTable, EverySpellingParsesAndTheHelpListsIt) {
    const std::string help = cli::OptionLists(cli::CliOptions{});
    for (const std::string& name : TableSpellings()) {
        const cli::OptionSpec* option = cli::FindOption(name);
        ASSERT_NE(option, nullptr) << name;
        std::vector<std::string> args{name};
        if (option->argument)
            args.push_back("1");
        std::string error;
        cli::ParseCliOptions(args, error);
        EXPECT_EQ(error.rfind("unknown option", 0), std::string::npos) << name << ": " << error;
        if (option->group != cli::OptionGroup::Operation) {
            EXPECT_TRUE(help.find("  " + name) != std::string::npos ||
                        help.find(", " + name) != std::string::npos)
                << name;
        }
    }
    // A spelling not in the table is refused, however close.
    std::string error;
    cli::ParseCliOptions({"--owner"}, error);
    EXPECT_EQ(error, "unknown option --owner");
}

// --help's lists: each group under its heading, in its order, the help in a column of 22 with
// continuation lines under it, the defaults filled in; the operations stay in the usage lines.
TEST(OptionTable, HelpListsEachGroupInItsColumns) {
    const std::string help = cli::OptionLists(cli::CliOptions{});
    const size_t probe = help.find("\nProbe options:\n");
    ASSERT_NE(probe, std::string::npos);
    EXPECT_EQ(help.rfind("WHOIS options:\n  -h HOST             ask HOST first (default: the first "
                         "server of Server.wis for the query)\n",
                         0),
              0u)
        << help;
    EXPECT_NE(help.find("  -4, -6              use only IPv4, or only IPv6, addresses (lookups, "
                        "probes, WHOIS);\n                      an address typed in the other "
                        "family is refused\n  --no-recursion "),
              std::string::npos);
    EXPECT_NE(help.find("  -P N                at most N queries in flight at once, over all "
                        "servers (default 4)\n"),
              std::string::npos);
    EXPECT_GT(help.find("  -c N                echoes to send"), probe);
    EXPECT_LT(help.find("  --rdap-source URL   download them"), probe);
    EXPECT_EQ(help.find("--trace"), std::string::npos);
    EXPECT_TRUE(
        help.ends_with("never sent)\n  --as-server HOST    ask HOST for the owners (implies "
                       "-z; default: the settings file's\n                      ASSERVER, "
                       "else whois.cymru.com)\n  --whois             ask WHOIS for the "
                       "target's address when the trace reaches it\n\n  --help, --version\n"))
        << help;
}

} // namespace
