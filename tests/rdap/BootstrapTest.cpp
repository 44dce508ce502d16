#include "rdap/RdapBootstrap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/rdap/Helpers.h"

namespace {

const std::string kShipped = std::string(ZW_DATA_DIR) + "/rdap";

// Names, addresses and AS numbers against the shipped files: the URL asked first.
TEST(RdapBootstrap, LookupsAgainstTheShippedFiles) {
    rdap::Bootstrap b = rdap::Bootstrap::Load({"/nonexistent-user-folder", kShipped});
    const struct {
        const char* query;
        const char* url;
    } rows[] = {
        {"example.com", "https://rdap.verisign.com/com/v1/domain/example.com"},
        {"WWW.Example.COM.", "https://rdap.verisign.com/com/v1/domain/WWW.Example.COM"},
        {"bbc.co.uk", "https://rdap.nominet.uk/uk/domain/bbc.co.uk"},
        {"xn--kpry57d.xn--kpry57d",
         "https://ccrdap.twnic.tw/taiwan/domain/xn--kpry57d.xn--kpry57d"},
        {"shop.kg", "http://rdap.cctld.kg/domain/shop.kg"},    // only http:// given
        {"denic.de", "https://rdap.denic.de/domain/denic.de"}, // from the ccTLD supplement
        {"8.8.8.8", "https://rdap.arin.net/registry/ip/8.8.8.8"},
        {"1.1.1.1", "https://rdap.apnic.net/ip/1.1.1.1"},
        {"192.0.2.0/24", "https://rdap.arin.net/registry/ip/192.0.2.0/24"},
        {"2001:4860:4860::8888", "https://rdap.arin.net/registry/ip/2001:4860:4860::8888"},
        {"2c0f:fb50::1", "https://rdap.afrinic.net/rdap/ip/2c0f:fb50::1"},
        {"AS13335", "https://rdap.arin.net/registry/autnum/13335"},
        {"as16276", "https://rdap.db.ripe.net/autnum/16276"},
        {"AS1876", "https://rdap.arin.net/registry/autnum/1876"}, // the last of "1-1876"
        {"AS1877", "https://rdap.db.ripe.net/autnum/1877"},       // the first of "1877-1901"
    };
    for (const auto& row : rows) {
        auto services = b.ServicesFor(row.query);
        EXPECT_EQ(services.empty() ? "" : rdap::QueryUrl(services.front(), row.query), row.url)
            << row.query;
    }
    // No RDAP service for .jp, a bare TLD, private ranges, unassigned or malformed AS numbers.
    for (const char* query :
         {"jprs.jp", "com", "10.0.0.1", "fd00::1", "AS4200000000", "2515", "ASX"})
        EXPECT_TRUE(b.ServicesFor(query).empty()) << query;
}

// A file in the user folder replaces the shipped one of the same name, and only that one.
TEST(RdapBootstrap, UserFilesTakePrecedenceAndBadFilesAddNothing) {
    TempDir home;
    std::string user = home.path() + "/rdap";
    std::filesystem::create_directories(user);
    testutil::WriteRaw(user + "/dns.json",
                       R"({"services":[[["com","test"],["https://user.test/rdap"]]]})");
    testutil::WriteRaw(user + "/asn.json", "not json");
    rdap::Bootstrap b = rdap::Bootstrap::Load({user, kShipped});
    EXPECT_EQ(b.ServicesFor("a.com"), std::vector<std::string>{"https://user.test/rdap/"});
    EXPECT_TRUE(b.ServicesFor("a.net").empty());
    EXPECT_EQ(b.ServicesFor("8.8.8.8").front(), "https://rdap.arin.net/registry/");
    EXPECT_EQ(b.ServicesFor("AS13335").front(), "https://rdap.arin.net/registry/"); // bad user file

    const struct {
        rdap::QueryKind kind;
        const char* json;
        bool ok;
        int family = 0;
    } files[] = {
        // Files of another kind served under a file's name, and an empty table.
        {rdap::QueryKind::Domain, R"({"services":[[["1-1876"],["https://x.test/"]]]})", false},
        {rdap::QueryKind::Domain, R"({"services":[[["192.0.2.0/24"],["https://x.test/"]]]})",
         false},
        {rdap::QueryKind::Domain, R"({"services":[[["a..b"],["https://x.test/"]]]})", false},
        {rdap::QueryKind::Domain, R"({"services":[[["xn--p1ai","co.uk."],["https://x.test/"]]]})",
         true},
        {rdap::QueryKind::Ip, R"({"services":[[["192.0.2.0/24"],["https://x.test/"]]]})", false, 6},
        {rdap::QueryKind::Ip, R"({"services":[[["2001:db8::/32"],["https://x.test/"]]]})", false,
         4},
        {rdap::QueryKind::Ip, R"({"services":[[["2001:db8::/32"],["https://x.test/"]]]})", true, 6},
        {rdap::QueryKind::Autnum, R"({"services":[]})", false},
        {rdap::QueryKind::Ip, R"({"services":[[["192.0.2.0/33"],["https://x.test/"]]]})", false},
        {rdap::QueryKind::Autnum, R"({"services":[[["20-10"],["https://x.test/"]]]})", false},
        {rdap::QueryKind::Domain, R"({"services":[[["a"],"https://x.test/"]]})", false},
        {rdap::QueryKind::Domain, R"({"services":{}})", false},
        {rdap::QueryKind::Ip, R"({"services":[[["192.0.0.0/8"],["https://wide.test/"]],
           [["192.0.2.0/24"],["http://h.test/","https://s.test"]]]})",
         true},
    };
    for (const auto& f : files) {
        rdap::Bootstrap one;
        EXPECT_EQ(one.AddFile(f.kind, f.json, f.family), f.ok) << f.json;
        EXPECT_EQ(one.Size(f.kind) != 0, f.ok) << f.json;
    }
    rdap::Bootstrap order;
    order.AddFile(rdap::QueryKind::Ip, files[std::size(files) - 1].json);
    EXPECT_EQ(order.ServicesFor("192.0.2.9"), // the longest prefix, https first
              (std::vector<std::string>{"https://s.test/", "http://h.test/"}));
    EXPECT_EQ(order.ServicesFor("192.0.3.1"), std::vector<std::string>{"https://wide.test/"});
}

} // namespace
