#pragma once

// zwhois's options, once: the parser asks it which options exist and which take a value, the
// help text is made from it, and a test holds the man page to it.
#include "cli/CliOptions.h"

#include <span>
#include <string>
#include <string_view>

namespace cli {

enum class OptionGroup {
    Operation, // selects what runs; shown in the usage lines, not in the lists
    Whois,
    Probe,
    Other,
};

struct OptionSpec {
    const char* name;
    const char* other;    // the other spelling ("--max-hops" for "-m"), or a sibling shown on
                          // the same help line ("-6" beside "-4"); nullptr for none
    const char* argument; // the value's name ("HOST"); nullptr for a flag
    OptionGroup group;
    Mode mode;        // Operation: what it selects
    const char* help; // its help line(s); "\n" starts a continuation line; {P} and {W}
                      // stand for the defaults of -P and --max-wait
};

std::span<const OptionSpec> OptionTable();

// The entry whose name or other spelling is `name`; nullptr for none.
const OptionSpec* FindOption(std::string_view name);

// The lists of --help, made from the table: "WHOIS options:", "Probe options:" and the rest,
// each option's spellings and value in a column of 20, its help beside it.
std::string OptionLists(const CliOptions& defaults);

} // namespace cli
