#include "directory/ui/ServerRow.h"

#include "directory/ServerDir.h"

#include <QCollator>
#include <QString>

#include <algorithm>

namespace srvsetup {

namespace {

// Case-insensitive, locale-aware order, as the user reads the list.
void SortFields(std::vector<std::string>& fields) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(
        fields.begin(), fields.end(), [&collator](const std::string& a, const std::string& b) {
            return collator.compare(QString::fromStdString(a), QString::fromStdString(b)) < 0;
        });
}

bool NeedsQuotes(const std::string& field) {
    return std::any_of(field.begin(), field.end(), [](char c) {
        const auto code = static_cast<unsigned char>(c);
        return code <= 32 || c == ',' || c == '"';
    });
}

} // namespace

ServerRow MakeServerRow(std::string_view line) {
    ServerRow row;
    std::vector<std::string> fields = SplitServerFields(line);
    if (!fields.empty()) {
        row.Server = fields.front();
        fields.erase(fields.begin());
    }
    SortFields(fields);

    static constexpr std::string_view markers = "*+-";
    bool everyDomain = false;
    std::vector<std::string> domains;
    for (const std::string& field : fields) {
        const size_t at = field.empty() ? std::string_view::npos : markers.find(field);
        if (at == 0) {
            everyDomain = true;
        } else if (at == 1) {
            row.IPFlag = "+";
        } else if (at == 2) {
            row.IPFlag = "-";
        } else if (!field.empty()) {
            domains.push_back(field);
        }
    }
    row.Domains = everyDomain ? std::string("*") : JoinDomainFields(domains);
    return row;
}

std::string JoinDomainFields(const std::vector<std::string>& fields) {
    std::string text;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            text += ',';
        const std::string& field = fields[i];
        if (!NeedsQuotes(field)) {
            text += field;
            continue;
        }
        text += '"';
        for (char c : field) {
            if (c == '"')
                text += '"';
            text += c;
        }
        text += '"';
    }
    return text;
}

std::string BuildServerLine(const std::string& server, int ipIndex, const std::string& domains) {
    std::string line = server + ",";
    if (ipIndex == 0)
        line += "+,";
    else if (ipIndex == 1)
        line += "-,";
    return line + domains;
}

} // namespace srvsetup
