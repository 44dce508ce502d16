#pragma once

#include <string>
#include <vector>

#include "rdap/RdapClient.h"

namespace rdap {

// Where IANA publishes the bootstrap files.
inline constexpr const char* kIanaBootstrapBase = "https://data.iana.org/rdap/";

// What became of one file, for front ends that word it in their own language.
struct FileUpdate {
    enum class Outcome { Updated, Stopped, NotFound, Failed, Invalid, NotStored };
    std::string name;
    Outcome outcome = Outcome::Updated;
    std::string detail;  // the URL not found, the host and reason, or the write error
    bool hadOld = false; // a file of this name was there before (and stays unless Updated)
};

struct UpdateResult {
    bool ok = false; // every file downloaded, valid and stored
    bool stopped = false;
    // One per file: "dns.json: updated", or why not and whether an old file stays:
    // "dns.json: kept the old file (HOST: time-out)", "asn.json: no file yet (...)".
    std::vector<std::string> lines;
    std::vector<FileUpdate> files; // the same, one per file in the same order
};

// Downloads dns.json, ipv4.json, ipv6.json and asn.json from `baseUrl` into `folder` (created
// when missing; the home folder's rdap/). A file replaces the old one only when it downloaded
// whole and is valid bootstrap JSON of its kind; the replacement is atomic (rename).
// options.timeout bounds the whole update: files not reached by then are not fetched.
UpdateResult UpdateBootstrap(const std::string& baseUrl, const std::string& folder,
                             const FetchOptions& options);

} // namespace rdap
