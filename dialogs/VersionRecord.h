#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace version {

// An executable's version record: its translations (language and code page) and its
// string texts, each under "\StringFileInfo\LLLLCCCC\Key".
struct VersionRecord {
    struct Translation {
        std::uint16_t language = 0;
        std::uint16_t codePage = 0;
    };
    std::vector<Translation> translations;
    std::map<std::string, std::string> strings;

    // The text at a sub-block path; false when the record has none there.
    bool QueryString(const std::string& subBlock, std::string& value) const;
};

// "\StringFileInfo\" + language and code page as four upper-case hex digits each + "\".
std::string StringFilePrefix(const VersionRecord::Translation& translation);

// The running program's own record, built into it from the project's version.
std::optional<VersionRecord> OwnVersionRecord();

} // namespace version
