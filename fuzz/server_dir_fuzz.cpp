// The server directory (Server.wis): any file read as lines and fields, saved and loaded again
// unchanged, and its candidate queue checked against the field-by-field rule.
//
// Input: a header and the file's bytes parted by the byte 0x1E; the header's lines (LF) are
// the server asked and the target. Without the byte the whole input is the file.
#include "directory/ServerDir.h"
#include "fuzz/FuzzCommon.h"
#include "platform/TextFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using List = std::vector<std::string>;

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The target, a final dot aside, ends in "." and the suffix.
bool EndsWithLabels(std::string target, const std::string& suffix) {
    if (!target.empty() && target.back() == '.')
        target.pop_back();
    const std::string tail = "." + suffix;
    return target.size() > tail.size() && Lower(target).ends_with(Lower(tail));
}

// The rule spelled out on the plain splitter: a line offers its first field unless that is
// the server asked; it qualifies by "+" (IPv4 target) or "*" anywhere, or for a name by a
// domain field the target ends with; each server once, letter case ignored.
List Reference(const List& dir, const std::string& server, const std::string& target, bool isIP) {
    List queue;
    for (const std::string& line : dir) {
        const List fields = SplitServerFields(line);
        if (fields.empty() || fields[0] == server)
            continue;
        bool qualifies = false;
        for (size_t i = 0; i < fields.size() && !qualifies; ++i)
            qualifies = fields[i] == (isIP ? "+" : "*");
        for (size_t i = 1; i < fields.size() && !qualifies && !isIP; ++i)
            qualifies = MarkerIndex(fields[i]) == -1 && EndsWithLabels(target, fields[i]);
        if (!qualifies)
            continue;
        bool seen = false;
        for (const std::string& queued : queue)
            seen = seen || Lower(queued) == Lower(fields[0]);
        if (!seen)
            queue.push_back(fields[0]);
    }
    return queue;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::ScratchPath("wis");
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string server = "whois.a.test";
    std::string target = "example.co.jp";
    if (const size_t sep = input.find('\x1e'); sep != std::string_view::npos) {
        const auto head = fuzz::SplitInput(input.substr(0, sep), "\n", 2);
        server = std::string(head[0]);
        target = head.size() > 1 ? std::string(head[1]) : std::string();
        input.remove_prefix(sep + 1);
    }

    // Loading gives UTF-8 lines without breaks; a save and a load give them back.
    fuzz::WriteBytes(path, input);
    List dir;
    LoadServerFile(path, dir);
    for (const auto& line : dir) {
        FUZZ_CHECK(platform::IsValidUtf8(line));
        FUZZ_CHECK(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        for (const auto& field : SplitServerFields(line)) {
            const int marker = MarkerIndex(field);
            FUZZ_CHECK(marker >= -2 && marker <= 2);
        }
    }
    SaveServerFile(path, dir);
    List again;
    LoadServerFile(path, again);
    FUZZ_CHECK(again == dir);

    for (bool isIP : {false, true}) {
        List queue;
        BuildServerCandidates(dir, server, target, isIP, queue);
        FUZZ_CHECK(queue == Reference(dir, server, target, isIP));
    }

    // The registries of the name: the lines with a domain field the target ends with.
    List registries;
    for (const auto& line : dir) {
        const List fields = SplitServerFields(line);
        for (size_t i = 1; i < fields.size(); ++i)
            if (MarkerIndex(fields[i]) == -1 && EndsWithLabels(target, fields[i])) {
                registries.push_back(fields[0]);
                break;
            }
    }
    FUZZ_CHECK(RegistryServers(dir, target) == registries);

    // Preparing lists the server when no line begins with it, then queues as above.
    List prepared = dir;
    List queue;
    PrepareServerCandidates(prepared, server, target, false, queue);
    FUZZ_CHECK(prepared.size() == dir.size() || prepared.size() == dir.size() + 1);
    FUZZ_CHECK(queue == Reference(prepared, server, target, false));
    size_t taken = 0;
    for (std::string next = NextServerCandidate(queue); !next.empty();
         next = NextServerCandidate(queue))
        ++taken;
    FUZZ_CHECK(queue.empty());
    FUZZ_CHECK(taken <= prepared.size());
    return 0;
}
