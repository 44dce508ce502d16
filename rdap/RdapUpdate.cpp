#include "rdap/RdapUpdate.h"

#include <chrono>
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
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    for (const Bootstrap::File& file : Bootstrap::kFiles) {
        const std::string name = file.name;
        const bool hadOld = platform::FileExists(dir + name);
        // The time left of the whole update: a source that never answers costs it once.
        FetchOptions left = options;
        left.timeout = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        FetchResult got;
        if (left.timeout.count() > 0) {
            got = Fetch(base + name, left);
        } else {
            got.finalUrl = base + name;
            got.reason = "no time left of the update's time-out";
        }
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
            // A URL of no known scheme has no host: the URL names the source then.
            const std::string host = HostOf(got.finalUrl);
            why = (host.empty() || got.finalUrl.find("://") == std::string::npos ? got.finalUrl
                                                                                 : host) +
                  ": " + got.reason;
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
        done.hadOld = hadOld;
        if (why.empty()) {
            result.lines.push_back(name + ": updated");
        } else {
            result.ok = false;
            result.lines.push_back(
                name + (done.hadOld ? ": kept the old file (" : ": no file yet (") + why + ")");
        }
        result.files.push_back(std::move(done));
        if (result.stopped)
            break;
    }
    return result;
}

} // namespace rdap
