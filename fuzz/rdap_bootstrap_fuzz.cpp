// The RDAP bootstrap parser and its lookups.
// Input: one byte choosing the file's kind (domains, addresses, AS numbers, ccTLD supplement),
// then the file's bytes. Queries taken from the file's own entries are looked up afterwards.
#include "fuzz/FuzzCommon.h"
#include "rdap/RdapBootstrap.h"

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// Every service URL is absolute, ends in '/', and https ones come before http ones. The
// scheme's case does not matter ("httpS://" is https).
void CheckServices(const std::vector<std::string>& urls) {
    bool sawHttp = false;
    for (const std::string& url : urls) {
        std::string scheme = url.substr(0, 8);
        for (char& c : scheme)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        const bool https = scheme == "https://";
        FUZZ_CHECK(!url.empty() && url.back() == '/');
        FUZZ_CHECK(!(https && sawHttp));
        sawHttp = sawHttp || !https;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
    rdap::Bootstrap b;
    const rdap::QueryKind kinds[] = {rdap::QueryKind::Domain, rdap::QueryKind::Ip,
                                     rdap::QueryKind::Autnum};
    // The high bits pick the address family the file must hold (none, 4, 6).
    const int family = data[0] / 4 % 3 == 0 ? 0 : data[0] / 4 % 3 == 1 ? 4 : 6;
    bool ok = data[0] % 4 == 3 ? b.AddCcTldSupplement(file)
                               : b.AddFile(kinds[data[0] % 4 % 3], file, family);
    // A rejected file adds nothing; an accepted one adds at least one entry.
    if (data[0] % 4 != 3)
        FUZZ_CHECK((b.Size(kinds[data[0] % 4 % 3]) != 0) == ok);
    // Quoted strings of the input, as queries of every kind.
    size_t pos = 0;
    for (int n = 0; n < 64; ++n) {
        size_t open = file.find('"', pos);
        if (open == std::string_view::npos)
            break;
        size_t close = file.find('"', open + 1);
        if (close == std::string_view::npos)
            break;
        std::string entry(file.substr(open + 1, close - open - 1));
        pos = close + 1;
        for (const std::string& q :
             {entry, "a." + entry, "AS" + entry, entry.substr(0, entry.find('/'))}) {
            auto services = b.ServicesFor(q);
            CheckServices(services);
            if (!services.empty())
                FUZZ_CHECK(!rdap::QueryUrl(services.front(), q).empty());
        }
    }
    return 0;
}
