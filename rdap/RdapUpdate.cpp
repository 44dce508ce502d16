#include "rdap/RdapUpdate.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "rdap/RdapBootstrap.h"

namespace rdap {
namespace {

bool WriteAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    std::string temp = path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            error = "cannot write " + temp;
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

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
    const QueryKind kinds[] = {QueryKind::Domain, QueryKind::Ip, QueryKind::Ip, QueryKind::Autnum};
    result.ok = true;
    for (std::size_t i = 0; i < 4; ++i) {
        std::string name = Bootstrap::kFileNames[i];
        FetchResult got = Fetch(base + name, options);
        std::string why;
        if (got.status == FetchResult::Status::Stopped) {
            result.stopped = true;
            why = "stopped";
        } else if (got.status == FetchResult::Status::NotFound) {
            why = "not found at " + got.finalUrl;
        } else if (got.status == FetchResult::Status::Error) {
            why = HostOf(got.finalUrl) + ": " + got.reason;
        } else {
            Bootstrap check;
            if (!check.AddFile(kinds[i], got.body) || check.Size(kinds[i]) == 0)
                why = "not a valid bootstrap file";
            else
                WriteAtomically(dir + name, got.body, why);
        }
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
