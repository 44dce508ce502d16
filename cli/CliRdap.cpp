// zwhois --update-rdap: fresh RDAP bootstrap files into the home folder's rdap/.
#include "cli/CliRun.h"

#include "engine/RdapQuery.h"
#include "rdap/RdapUpdate.h"
#include "settings/IniParam.h"

#include <iostream>

namespace cli {

int RunUpdateRdap(const CliOptions& options, Session&) {
    const HomeFiles files = FindHomeFiles(options.home);
    // Without a home folder the updates would land in the shipped folder, or nowhere.
    if (files.SettingsFile.empty()) {
        Complain("no home folder to keep the bootstrap files in");
        return kExitError;
    }
    rdap::FetchOptions fetch;
    fetch.stop = &InterruptFlag();
    // The window's time-out box bounds the whole update, as it bounds an RDAP step.
    fetch.timeout = RdapTimeOut(ReadWhoisKeys(files.SettingsFile).TimeOut);
    // An empty source is IANA's.
    const rdap::UpdateResult result =
        rdap::UpdateBootstrap(options.rdapSource, files.RdapFolders.front(), fetch);
    for (const std::string& line : result.lines)
        std::cout << line << '\n';
    std::cout.flush();
    if (result.stopped || Interrupted())
        return kExitInterrupted;
    if (!result.ok) {
        Complain("the bootstrap files that could not be updated were kept");
        return kExitError;
    }
    return kExitHit;
}

} // namespace cli
