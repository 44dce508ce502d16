#pragma once

#include <optional>
#include <string>
#include <vector>

// The history lists of the host and WHOIS server boxes, kept apart from the combo boxes so
// that the rules can be tested without a window.
namespace mainview {

// Most entries a history keeps once an entry is recorded.
constexpr std::size_t MaxHistory = 50;

// Removes leading and trailing blanks and control characters (every byte up to a blank).
std::string TrimBlanks(const std::string& text);

// The trimmed part between the first `start` and the following `stop`; with no stop marker
// the trimmed rest of the text. Empty when a marker is missing. An empty start marker
// begins at the start of the text.
std::string ExtractBetween(const std::string& text, const std::string& start,
                           const std::optional<std::string>& stop);

// Trims every entry, drops empty ones and later exact (case-sensitive) repeats, keeping the
// order in which entries were first seen.
void CleanHistory(std::vector<std::string>& list);

// Case-insensitive whole-entry comparison used when an entry is looked up in a history.
bool SameEntry(const std::string& a, const std::string& b);

// Records (or with `remove` deletes) the edit text in the list. Returns the new edit text,
// or nothing when the trimmed edit text is empty and neither list nor text may change.
std::optional<std::string> RecordHistory(std::vector<std::string>& list,
                                         const std::string& editText, bool remove, bool stripUser);

} // namespace mainview
