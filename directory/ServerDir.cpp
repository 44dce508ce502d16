#include "directory/ServerDir.h"

#include "directory/ServerFields.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_set>

#include "platform/TextFile.h"

namespace {

// The marker table, in this order; MarkerIndex is a field's position in it.
constexpr std::string_view kMarkers[] = {"-", "+", "*"};

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCopy(std::string_view s) {
    std::string lower(s);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);
    return lower;
}

// True when `target` holds "." followed by `suffix` anywhere, without building that text.
bool HoldsDotSuffix(std::string_view target, std::string_view suffix) {
    for (size_t dot = target.find('.'); dot != std::string_view::npos;
         dot = target.find('.', dot + 1)) {
        if (target.compare(dot + 1, suffix.size(), suffix) == 0) {
            return true;
        }
    }
    return false;
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
    if (field.empty()) {
        return -2;
    }
    for (int i = 0; i < static_cast<int>(std::size(kMarkers)); ++i) {
        if (field == kMarkers[i]) {
            return i;
        }
    }
    return -1;
}

void LoadServerFile(const std::string& path, std::vector<std::string>& list) {
    if (!platform::FileExists(path)) {
        list.clear();
        return;
    }
    std::vector<std::string> lines;
    if (!platform::ReadTextLines(path, lines, true)) {
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
    std::unordered_set<std::string> seen; // lower-cased first fields already queued
    std::string scratch;
    std::string firstField;
    for (const std::string& line : serverList) {
        bool haveFirst = false;
        bool excluded = false;
        bool qualifies = false;
        // One pass over the fields: a "+" (IPv4) or "*" (any domain) anywhere qualifies the
        // line; for a name, so does the first suffix it holds after a dot.
        directory::ForEachServerField(line, scratch, [&](std::string_view field) {
            if (!haveFirst) {
                haveFirst = true;
                firstField.assign(field);
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
            const int marker = MarkerIndex(field);
            if (targetIsIP) {
                qualifies = marker == 1;
            } else if (marker == 2) {
                qualifies = true;
            } else if (marker == -1) {
                qualifies = HoldsDotSuffix(target, field);
            }
            return !qualifies;
        });
        if (!haveFirst || excluded || !qualifies) {
            continue; // an empty line has no server to offer
        }
        if (seen.insert(LowerCopy(firstField)).second) {
            candidates.push_back(firstField);
        }
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
