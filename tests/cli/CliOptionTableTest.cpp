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

} // namespace
