#include "dialogs/VersionRecord.h"

#include "dialogs/BuildVersion.h"

#include <cstdio>
#include <utility>

namespace version {

bool VersionRecord::QueryString(const std::string& subBlock, std::string& value) const {
    const auto found = strings.find(subBlock);
    if (found == strings.end())
        return false;
    value = found->second;
    return true;
}

std::string StringFilePrefix(const VersionRecord::Translation& translation) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%04X%04X", translation.language, translation.codePage);
    return std::string("\\StringFileInfo\\") + hex + "\\";
}

std::optional<VersionRecord> OwnVersionRecord() {
    VersionRecord record;
    record.translations.push_back({ZW_VERSION_LANGUAGE, ZW_VERSION_CODEPAGE});
    const std::string prefix = StringFilePrefix(record.translations.front());
    const std::pair<const char*, const char*> texts[] = {
        {"CompanyName", ZW_VERSION_COMPANYNAME},
        {"FileDescription", ZW_VERSION_FILEDESCRIPTION},
        {"FileVersion", ZW_VERSION_FILEVERSION},
        {"InternalName", ZW_VERSION_INTERNALNAME},
        {"LegalCopyright", ZW_VERSION_LEGALCOPYRIGHT},
        {"LegalTradeMarks", ZW_VERSION_LEGALTRADEMARKS},
        {"OriginalFilename", ZW_VERSION_ORIGINALFILENAME},
        {"ProductName", ZW_VERSION_PRODUCTNAME},
        {"ProductVersion", ZW_VERSION_PRODUCTVERSION},
        {"Comments", ZW_VERSION_COMMENTS},
    };
    // An empty text is left out of the record, as a resource compiler leaves it out.
    for (const auto& [key, text] : texts)
        if (*text)
            record.strings[prefix + key] = text;
    return record;
}

} // namespace version
