#include "directory/ServerDir.h"

#include "directory/ServerFields.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <unordered_set>

#include "platform/TextFile.h"

namespace {

// The marker table, in this order; MarkerIndex is a field's position in it.
constexpr std::string_view kMarkers[] = {"-", "+", "*"};

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive (ASCII) hashing and comparison, so that the queue's "seen" set can hold
// views of the directory's own text instead of lower-cased copies.
struct NoCaseHash {
    size_t operator()(std::string_view s) const {
        size_t h = 14695981039346656037ull; // FNV-1a
        for (char c : s) {
            h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
        }
        return h;
    }
};

struct NoCaseEqual {
    bool operator()(std::string_view a, std::string_view b) const {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(),
                          [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
    }
};

// Answers "does the target end in '.' followed by this suffix?" for many suffixes. A final dot
// of the target is ignored; "de" must not catch "example.dev", nor "in" ".int". Names are
// typed in any letter case ("GOOGLE.COM"), so A-Z match either way.
class DotSuffixMatcher {
public:
    explicit DotSuffixMatcher(std::string_view target) : target_(target) {
        if (!target_.empty() && target_.back() == '.') {
            target_.remove_suffix(1);
        }
    }

    bool Holds(std::string_view suffix) const {
        return target_.size() > suffix.size() + 1 &&
               NoCaseEqual()(target_.substr(target_.size() - suffix.size()), suffix) &&
               target_[target_.size() - suffix.size() - 1] == '.';
    }

private:
    std::string_view target_;
};

// The markers are single characters, so one character decides; inline for the candidate
// loop, which asks for every field of every line.
inline int MarkerOf(std::string_view field) {
    if (field.empty()) {
        return -2;
    }
    if (field.size() == 1) {
        for (int i = 0; i < static_cast<int>(std::size(kMarkers)); ++i) {
            if (field[0] == kMarkers[i][0]) {
                return i;
            }
        }
    }
    return -1;
}

} // namespace

std::vector<std::string> SplitServerFields(std::string_view line) {
    std::vector<std::string> fields;
    std::string scratch;
    directory::ForEachServerField(line, scratch, [&](std::string_view field) {
        fields.emplace_back(field);
        return true;
    });
    return fields;
}

int MarkerIndex(std::string_view field) {
    return MarkerOf(field);
}

void LoadServerFile(const std::string& path, std::vector<std::string>& list) {
    if (!platform::FileExists(path)) {
        list.clear();
        return;
    }
    std::vector<std::string> lines;
    if (!platform::ReadTextLines(path, lines)) {
        throw std::runtime_error("cannot read " + path);
    }
    list = std::move(lines);
}

void SaveServerFile(const std::string& path, const std::vector<std::string>& list) {
    platform::WriteTextLines(path, list);
}

void PrepareServerCandidates(std::vector<std::string>& serverList, const std::string& server,
                             const std::string& target, bool targetIsIP,
                             std::vector<std::string>& candidates) {
    // A prefix test on the whole line: a listed name that merely begins with `server` counts.
    const bool listed =
        std::any_of(serverList.begin(), serverList.end(),
                    [&](const std::string& line) { return line.starts_with(server); });
    if (!listed) {
        serverList.push_back(server + ",+,*,");
    }
    BuildServerCandidates(serverList, server, target, targetIsIP, candidates);
}

void BuildServerCandidates(const std::vector<std::string>& serverList, const std::string& server,
                           const std::string& target, bool targetIsIP,
                           std::vector<std::string>& candidates) {
    candidates.clear();
    const DotSuffixMatcher matcher(target);
    // First fields already queued. The views point into the directory's lines, which stay put
    // during the call, or into `quoted` for quoted fields (a deque never moves its elements).
    std::unordered_set<std::string_view, NoCaseHash, NoCaseEqual> seen;
    std::deque<std::string> quoted;
    std::string scratch;
    std::string quotedFirst;
    for (const std::string& line : serverList) {
        std::string_view first;
        bool haveFirst = false;
        bool excluded = false;
        bool qualifies = false;
        // One pass over the fields: a "+" (IPv4) or "*" (any domain) anywhere qualifies the
        // line; for a name, so does the first suffix it holds after a dot.
        directory::ForEachServerField(line, scratch, [&](std::string_view field) {
            if (!haveFirst) {
                haveFirst = true;
                if (field.data() == scratch.data()) {
                    // A quoted field lives in the scratch buffer, which later fields reuse.
                    quotedFirst.assign(field);
                    field = quotedFirst;
                }
                first = field;
                if (field == server) {
                    excluded = true;
                    return false;
                }
                if (targetIsIP ? field == "+" : field == "*") {
                    qualifies = true;
                    return false;
                }
                return true;
            }
            const int marker = MarkerOf(field);
            if (targetIsIP) {
                qualifies = marker == 1;
            } else if (marker == 2) {
                qualifies = true;
            } else if (marker == -1) {
                qualifies = matcher.Holds(field);
            }
            return !qualifies;
        });
        if (!haveFirst || excluded || !qualifies) {
            continue; // an empty line has no server to offer
        }
        if (seen.contains(first)) {
            continue;
        }
        if (first.data() == quotedFirst.data()) {
            first = quoted.emplace_back(first);
        }
        seen.insert(first);
        candidates.emplace_back(first);
    }
}

std::string NextServerCandidate(std::vector<std::string>& candidates) {
    while (!candidates.empty()) {
        std::string next = std::move(candidates.front());
        candidates.erase(candidates.begin());
        if (!next.empty()) {
            return next;
        }
    }
    return {};
}

std::vector<std::string> RegistryServers(const std::vector<std::string>& serverList,
                                         const std::string& target) {
    std::vector<std::string> servers;
    const DotSuffixMatcher matcher(target);
    for (const std::string& line : serverList) {
        const std::vector<std::string> fields = SplitServerFields(line);
        for (size_t k = 1; k < fields.size(); ++k) {
            if (MarkerOf(fields[k]) == -1 && matcher.Holds(fields[k])) {
                servers.push_back(fields[0]);
                break;
            }
        }
    }
    return servers;
}
