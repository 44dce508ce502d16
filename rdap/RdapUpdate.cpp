#include "rdap/RdapUpdate.h"

#include <filesystem>
#include <stdexcept>

#include "platform/TextFile.h"
#include "rdap/RdapBootstrap.h"

namespace rdap {

UpdateResult UpdateBootstrap(const std::string& baseUrl, const std::string& folder,
                             const FetchOptions& options) {
    UpdateResult result;
    std::string base = baseUrl.empty() ? kIanaBootstrapBase : baseUrl;
    if (base.back() != '/')
        base += '/';
    std::string dir = folder;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    result.ok = true;
    for (const Bootstrap::File& file : Bootstrap::kFiles) {
        const std::string name = file.name;
        FetchResult got = Fetch(base + name, options);
        std::string why;
        FileUpdate done{name, FileUpdate::Outcome::Updated, {}};
        if (got.status == FetchResult::Status::Stopped) {
            result.stopped = true;
            why = "stopped";
            done.outcome = FileUpdate::Outcome::Stopped;
        } else if (got.status == FetchResult::Status::NotFound) {
            why = "not found at " + got.finalUrl;
            done = {name, FileUpdate::Outcome::NotFound, got.finalUrl};
        } else if (got.status == FetchResult::Status::Error) {
            why = HostOf(got.finalUrl) + ": " + got.reason;
            done = {name, FileUpdate::Outcome::Failed, why};
        } else {
            Bootstrap check;
            if (!check.AddFile(file.kind, got.body, file.family) || check.Size(file.kind) == 0) {
                why = "not a bootstrap file of its kind";
                done.outcome = FileUpdate::Outcome::Invalid;
            }
        }
        if (why.empty()) {
            // Written beside the old file and renamed over it: never half a file.
            try {
                platform::WriteFileBytes(dir + name, got.body);
            } catch (const std::runtime_error& e) {
                why = e.what();
                done = {name, FileUpdate::Outcome::NotStored, why};
            }
        }
        result.files.push_back(std::move(done));
        if (why.empty()) {
            result.lines.push_back(name + ": updated");
        } else {
            result.ok = false;
            result.lines.push_back(name + ": kept the old file (" + why + ")");
        }
        if (result.stopped)
            break;
    }
    return result;
}

} // namespace rdap
