#include "mainview/History.h"

#include <QString>

#include <algorithm>

namespace mainview {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

std::string TrimBlanks(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string ExtractBetween(const std::string& text, const std::string& start,
                           const std::optional<std::string>& stop) {
    std::size_t from = 0;
    if (!start.empty()) {
        const std::size_t at = text.find(start);
        if (at == std::string::npos)
            return {};
        from = at + start.size();
    }
    if (!stop)
        return TrimBlanks(text.substr(from));
    const std::size_t end = text.find(*stop, from);
    if (end == std::string::npos)
        return {};
    return TrimBlanks(text.substr(from, end - from));
}

void CleanHistory(std::vector<std::string>& list) {
    // Walks the list as it shrinks, as the box's own list would be edited in place.
    for (std::size_t i = 0; i < list.size();) {
        list[i] = TrimBlanks(list[i]);
        if (list[i].empty()) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        // Later entries are compared trimmed too, or " x" after "x" would survive as a
        // second "x" once its own turn trims it.
        const std::string& kept = list[i];
        list.erase(std::remove_if(list.begin() + static_cast<std::ptrdiff_t>(i) + 1, list.end(),
                                  [&](const std::string& e) { return TrimBlanks(e) == kept; }),
                   list.end());
        ++i;
    }
}

bool SameEntry(const std::string& a, const std::string& b) {
    if (a.size() == b.size() && a == b)
        return true;
    // Letter case by the locale's rules, not only A to Z (host names may be non-ASCII).
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::optional<std::string> RecordHistory(std::vector<std::string>& list,
                                         const std::string& editText, bool remove, bool stripUser) {
    std::string text = TrimBlanks(editText);
    if (text.empty())
        return std::nullopt;
    if (stripUser) {
        const std::size_t at = text.find('@');
        // "user@ host" must not record the host with the blank before it.
        if (at != std::string::npos)
            text = TrimBlanks(text.substr(at + 1));
    }
    const auto found = std::find_if(list.begin(), list.end(),
                                    [&](const std::string& e) { return SameEntry(e, text); });
    if (found != list.end())
        list.erase(found);
    // "user@" leaves nothing to record: an empty line in the history would only be noise.
    if (remove || text.empty())
        return std::string();
    list.insert(list.begin(), text);
    while (list.size() > MaxHistory)
        list.pop_back();
    if (text.find("://") != std::string::npos) {
        std::string host = ExtractBetween(text, "://", std::string("/"));
        if (host.empty())
            host = ExtractBetween(text, "://", std::nullopt);
        text = host;
    }
    return text;
}

} // namespace mainview
