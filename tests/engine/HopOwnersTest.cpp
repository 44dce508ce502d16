// The hop owners' pure parts: which addresses are never sent, the bulk request, the answer
// and the RDAP fallback read into owners.
#include "engine/HopOwners.h"

#include <gtest/gtest.h>

namespace {

using hopowner::Lookup;

TEST(HopOwners, PrivateAddressesAreTheRangesNobodyOutsideOwns) {
    // Each range at its edges and one past them.
    const std::pair<const char*, bool> rows[] = {{"10.0.0.0", true},
                                                 {"10.255.255.255", true},
                                                 {"11.0.0.0", false},
                                                 {"9.255.255.255", false},
                                                 {"172.16.0.0", true},
                                                 {"172.31.255.255", true},
                                                 {"172.32.0.0", false},
                                                 {"172.15.255.255", false},
                                                 {"192.168.0.1", true},
                                                 {"192.169.0.1", false},
                                                 {"100.64.0.0", true},
                                                 {"100.127.255.255", true},
                                                 {"100.128.0.0", false},
                                                 {"100.63.255.255", false},
                                                 {"127.0.0.1", true},
                                                 {"169.254.1.1", true},
                                                 {"169.255.0.1", false},
                                                 {"0.0.0.0", true},
                                                 {"198.18.0.2", false},
                                                 {"::1", true},
                                                 {"::", true},
                                                 {"::2", false},
                                                 {"fe80::1", true},
                                                 {"febf::1", true},
                                                 {"fec0::1", false},
                                                 {"fc00::1", true},
                                                 {"fdff::1", true},
                                                 {"fe00::1", false},
                                                 {"fbff::1", false},
                                                 {"::ffff:10.1.2.3", true},
                                                 {"::ffff:198.18.0.2", false},
                                                 {"2001:db8::1", false},
                                                 {"not an address", false},
                                                 {"", false}};
    for (const auto& [address, isPrivate] : rows)
        EXPECT_EQ(hopowner::IsPrivateAddress(address), isPrivate) << address;
}

TEST(HopOwners, TheRequestHoldsOnlyAddressesInOrder) {
    EXPECT_EQ(hopowner::BulkRequest({"198.18.0.2", "evil\nbegin", "2001:DB8:0::1", "", "1.2.3"}),
              "begin\nverbose\n198.18.0.2\n2001:db8::1\nend\n");
    EXPECT_EQ(hopowner::BulkRequest({}), "begin\nverbose\nend\n");
}

TEST(HopOwners, AnswerLinesOfBothFormsAreRead) {
    const auto owners = hopowner::ParseBulkAnswer(
        "Bulk mode; whois.example [2026-12-10 05:00:00 +0000]\n"
        "AS      | IP               | BGP Prefix          | CC | Registry | Allocated  | AS Name\n"
        "64500   | 198.18.0.2       | 198.18.0.0/24       | JP | apnic    | 2001-01-01 | "
        "EXAMPLE-A, JP\r\n"
        "64501   | 198.18.0.2       | 198.18.0.0/15       | US | arin     | 2001-01-01 | SECOND\n"
        "NA      | 198.18.9.9       | NA                  | NA | NA       | NA         | NA\n"
        "Error: no ASN or IP match on line 4.\n"
        "64502 | 2001:DB8:0:0::1 | 2001:db8::/32 | DE | ripencc | 2001 | B|AR \x1b[2Jname\n"
        "64503 | 198.18.1.2 | SHORT-FORM\n"
        "64504 | 198.18.1.3 | 198.18.1.0/24 | XX\n"
        "AS64505 | 198.18.1.4 | - | - | - | - | PREFIXED\n"
        "x64506 | 198.18.1.5 | - | - | - | - | NOT-AN-AS\n"
        "64507   | 198.18.1.6       | 198.18.1.0/24       | NL | ripencc  | 2001-01-01 | LAST");
    ASSERT_EQ(owners.size(), 6u);
    const auto& a = owners.at("198.18.0.2"); // the first origin stays
    EXPECT_EQ(a.as, 64500u);
    EXPECT_EQ(a.name, "EXAMPLE-A, JP");
    EXPECT_EQ(a.prefix, "198.18.0.0/24");
    EXPECT_EQ(a.country, "JP");
    EXPECT_EQ(a.registry, "apnic");
    const auto& none = owners.at("198.18.9.9");
    EXPECT_EQ(none.as, 0u);
    EXPECT_EQ(none.name + none.prefix + none.country + none.registry, "");
    // Keyed as this program writes the address; the name keeps its bar, loses the escape.
    EXPECT_EQ(owners.at("2001:db8::1").name, "B|AR [2Jname");
    const auto& shortForm = owners.at("198.18.1.2");
    EXPECT_EQ(shortForm.name, "SHORT-FORM");
    EXPECT_EQ(shortForm.prefix, "");
    EXPECT_EQ(owners.at("198.18.1.4").as, 64505u);
    EXPECT_EQ(owners.at("198.18.1.6").name, "LAST");
    EXPECT_EQ(owners.count("198.18.1.3") + owners.count("198.18.1.5"), 0u);
}

TEST(HopOwners, RdapNetworkStandsInForTheService) {
    bool found = false;
    const hopowner::Owner o = hopowner::OwnerFromRdap(
        R"({"objectClassName":"ip network","handle":"NET-198-18","name":"BENCH-NET",
            "country":"US","port43":"whois.example","startAddress":"198.18.0.0",
            "endAddress":"198.19.255.255",
            "cidr0_cidrs":[{"v4prefix":"198.18.0.0","length":15},{"v4prefix":"198.20.0.0","length":16}],
            "arin_originas0_originautnums":[64510,64511]})",
        found);
    EXPECT_TRUE(found);
    EXPECT_EQ(o.as, 64510u);
    EXPECT_EQ(o.name, "BENCH-NET");
    EXPECT_EQ(o.prefix, "198.18.0.0/15");
    EXPECT_EQ(o.country, "US");
    EXPECT_EQ(o.registry, "whois.example");
    // Without a CIDR the range stands; an object with no network is no owner.
    EXPECT_EQ(hopowner::OwnerFromRdap(R"({"objectClassName":"ip network","startAddress":"a",
                                          "endAddress":"b"})",
                                      found)
                  .prefix,
              "a - b");
    EXPECT_TRUE(found);
    hopowner::OwnerFromRdap(R"({"objectClassName":"domain","ldhName":"a.test"})", found);
    EXPECT_FALSE(found);
}

TEST(HopOwners, OwnerTextPerStatus) {
    const auto make = [](Lookup::Status status, uint32_t as, const char* name) {
        Lookup l;
        l.status = status;
        l.owner.as = as;
        l.owner.name = name;
        return l;
    };
    const std::pair<Lookup, const char*> rows[] = {
        {make(Lookup::Status::Found, 64500, "EXAMPLE"), "AS64500 EXAMPLE"},
        {make(Lookup::Status::Found, 64500, ""), "AS64500"},
        {make(Lookup::Status::FoundByRdap, 0, "BENCH-NET"), "BENCH-NET"},
        {make(Lookup::Status::Private, 0, ""), "private"},
        {make(Lookup::Status::Unknown, 64500, "X"), ""},
        {make(Lookup::Status::Failed, 64500, "X"), ""}};
    for (const auto& [lookup, text] : rows)
        EXPECT_EQ(hopowner::OwnerText(lookup), text) << text;
}

} // namespace
