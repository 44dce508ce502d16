// The field reader against the registries' answers of the corpus (FIELDS.tsv: expected
// created, expires, registrar and name servers) and against rows of each shape it must read.
#include "engine/WhoisRecord.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::stringstream in(s);
    std::string item;
    while (std::getline(in, item, sep))
        out.push_back(item);
    if (!s.empty() && s.back() == sep)
        out.emplace_back();
    return out;
}

std::string Joined(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    std::string out;
    for (const auto& s : v)
        out += (out.empty() ? "" : ",") + s;
    return out;
}

TEST(WhoisRecordCorpus, ReadsTheStatedFieldsOfNearlyEveryAnswer) {
    const std::string dir = std::string(ZW_WHOIS_CORPUS) + "/registries/";
    std::vector<std::string> rows;
    ASSERT_TRUE(platform::ReadTextLines(dir + "FIELDS.tsv", rows));
    const char* const kNames[] = {"created", "expires", "registrar", "nameservers"};
    int stated[4] = {}, right[4] = {}, answers = 0, allRight = 0;
    for (const auto& row : rows) {
        if (row.empty() || row[0] == '#')
            continue;
        const auto cols = Split(row, '\t');
        ASSERT_EQ(cols.size(), 5u) << row;
        std::string raw;
        ASSERT_TRUE(platform::ReadFileBytes(dir + cols[0], raw)) << cols[0];
        // The query is in the file name: noterror__<tld>_<query>.txt.
        std::string query = cols[0].substr(cols[0].find('_', 10) + 1);
        query.resize(query.size() - 4);
        const Registration r = ReadWhoisRecord(raw, query);
        std::vector<std::string> expectedNs = Split(cols[4], ',');
        const std::string got[4] = {r.created.substr(0, 10), r.expires.substr(0, 10),
                                    r.registrar.name, Joined(r.nameservers)};
        const std::string want[4] = {cols[1], cols[2], cols[3], Joined(expectedNs)};
        ++answers;
        bool all = true;
        for (int f = 0; f < 4; ++f) {
            if (want[f].empty())
                continue;
            ++stated[f];
            if (got[f] == want[f]) {
                ++right[f];
            } else {
                all = false;
                std::printf("miss: %s %s: want \"%s\", read \"%s\"\n", cols[0].c_str(), kNames[f],
                            want[f].c_str(), got[f].c_str());
            }
        }
        allRight += all;
    }
    for (int f = 0; f < 4; ++f) {
        std::printf("%-12s %3d of %3d right (%.1f %%)\n", kNames[f], right[f], stated[f],
                    100.0 * right[f] / std::max(stated[f], 1));
        EXPECT_GE(right[f] * 100, stated[f] * 97) << kNames[f];
    }
    std::printf("every stated field right: %d of %d answers (%.1f %%)\n", allRight, answers,
                100.0 * allRight / std::max(answers, 1));
    EXPECT_EQ(answers, 205);
    EXPECT_GE(allRight * 100, answers * 95);
}

struct DateRow {
    const char* text;
    DayMonthOrder order;
    const char* want;
    bool ambiguous = false;
};

const DateRow kDates[] = {
    {"2001-03-21T05:00:00Z", DayMonthOrder::Unknown, "2001-03-21T05:00:00Z"},
    {"2001-03-21T05:00:00.123Z", DayMonthOrder::Unknown, "2001-03-21T05:00:00Z"},
    {"2002-09-30T18:00:00-0700", DayMonthOrder::Unknown, "2002-10-01T01:00:00Z"},
    {"2011-01-23 00:00:07 +02:00", DayMonthOrder::Unknown, "2011-01-22T22:00:07Z"},
    {"2021-11-09 00:00:00 (UTC+8)", DayMonthOrder::Unknown, "2021-11-08T16:00:00Z"},
    {"2023/04/01 01:05:57 (JST)", DayMonthOrder::Unknown, "2023-03-31T16:05:57Z"},
    // A time without a zone is local to an unknown place: the date alone.
    {"2001-03-21 05:00:00", DayMonthOrder::Unknown, "2001-03-21"},
    {"21-Mar-2001", DayMonthOrder::Unknown, "2001-03-21"},
    {"21 March 2001", DayMonthOrder::MonthFirst, "2001-03-21"},
    {"30th April 2003 at 00:00:00.000", DayMonthOrder::Unknown, "2003-04-30"},
    {"2001.03.21", DayMonthOrder::Unknown, "2001-03-21"},
    {"2001/03/21", DayMonthOrder::Unknown, "2001-03-21"},
    {"20010321", DayMonthOrder::Unknown, "2001-03-21"},
    {"2001. 03. 21.", DayMonthOrder::Unknown, "2001-03-21"},
    {"Wed Mar 21 2001", DayMonthOrder::Unknown, "2001-03-21"},
    {"Wed Mar 21 05:00:00 GMT 2001", DayMonthOrder::Unknown, "2001-03-21T05:00:00Z"},
    {"2001年03月21日", DayMonthOrder::Unknown, "2001-03-21"},
    {"平成13年3月21日", DayMonthOrder::Unknown, "2001-03-21"},
    {"令和元年5月1日", DayMonthOrder::Unknown, "2019-05-01"},
    // Day and month by the registry only when the numbers cannot tell.
    {"21.03.2001", DayMonthOrder::Unknown, "2001-03-21"},
    {"03/21/2001", DayMonthOrder::DayFirst, "2001-03-21"},
    {"03.04.2001", DayMonthOrder::DayFirst, "2001-04-03"},
    {"03.04.2001", DayMonthOrder::MonthFirst, "2001-03-04"},
    {"03.04.2001", DayMonthOrder::Unknown, "", true},
    {"04.04.2001", DayMonthOrder::Unknown, "2001-04-04"},
    // Not dates.
    {"2001-02-29", DayMonthOrder::Unknown, ""},
    {"2000-02-29", DayMonthOrder::Unknown, "2000-02-29"},
    {"2001-04-31", DayMonthOrder::Unknown, ""},
    {"20011321", DayMonthOrder::Unknown, ""},
    {"1970-01-01", DayMonthOrder::Unknown, "1970-01-01"},
    {"1969-12-31", DayMonthOrder::Unknown, ""},
    {"13/13/2001", DayMonthOrder::DayFirst, ""},
    {"2001-03-21T24:00:00Z", DayMonthOrder::Unknown, "2001-03-21"},
    {"2001-03-21T05:00:00+15:00", DayMonthOrder::Unknown, "2001-03-21"},
    {"before 2001", DayMonthOrder::Unknown, ""},
    {"", DayMonthOrder::Unknown, ""},
};

TEST(WhoisRecord, ReadsEveryDateForm) {
    for (const auto& row : kDates) {
        bool ambiguous = !row.ambiguous;
        EXPECT_EQ(ParseWhoisDate(row.text, row.order, &ambiguous), row.want) << row.text;
        EXPECT_EQ(ambiguous, row.ambiguous) << row.text;
    }
}

TEST(WhoisRecord, DateOrderIsTheRegistrys) {
    EXPECT_EQ(RegistryDateOrder("git.hk"), DayMonthOrder::DayFirst);
    EXPECT_EQ(RegistryDateOrder("GOOGLE.TK."), DayMonthOrder::MonthFirst);
    EXPECT_EQ(RegistryDateOrder("example.com"), DayMonthOrder::Unknown);
    EXPECT_EQ(RegistryDateOrder("hk"), DayMonthOrder::Unknown);
}

struct RecordRow {
    const char* what;
    const char* query;
    std::string text;
    // Expected "field=value" lines, in this order, for the fields the row states; every
    // field not named must be empty.
    std::string want;
};

std::string Lines(const std::string& line, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += line + "\n";
    return out;
}

// `count` name-server lines, and the "ns=" list they read as.
std::string NameServerLines(int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += "Name Server: ns" + std::to_string(i) + ".example.test\n";
    return out;
}

std::string NameServerList(int count) {
    std::string out = "ns=";
    for (int i = 0; i < count; ++i)
        out += (i ? ",ns" : "ns") + std::to_string(i) + ".example.test";
    return out + "\n";
}

std::string Dump(const Registration& r) {
    std::string out;
    auto add = [&](const char* key, const std::string& v) {
        if (!v.empty())
            out += std::string(key) + "=" + v + "\n";
    };
    auto list = [](const std::vector<std::string>& v) {
        std::string s;
        for (const auto& x : v)
            s += (s.empty() ? "" : ",") + x;
        return s;
    };
    add("name", r.name);
    add("registrar", r.registrar.name);
    add("iana", r.registrar.ianaId);
    add("url", r.registrar.url);
    add("abuse", r.registrar.abuseEmail + (r.registrar.abusePhone.empty() ? "" : " ") +
                     r.registrar.abusePhone);
    add("created", r.created);
    add("updated", r.updated);
    add("expires", r.expires);
    add("status", list(r.status));
    add("ns", list(r.nameservers));
    add("dnssec", r.dnssec);
    add("org", r.registrantOrganization);
    add("country", r.registrantCountry);
    add("redacted", list(r.redacted));
    add("ambiguous", list(r.ambiguousDates));
    add("range", r.network.range);
    add("cidr", r.network.cidr);
    add("netname", r.network.name);
    add("handle", r.network.handle);
    add("netorg", r.network.organization);
    add("netcountry", r.network.country);
    add("origin", r.network.originAs);
    add("registry", r.network.registry);
    return out;
}

const RecordRow kRecords[] = {
    {"a contact object's created before the domain's", "example.fr",
     "nic-hdl: ABC1-FRNIC\ncreated: 1999-01-01\nregistrar: Contact Registrar\n\n"
     "domain: example.fr\ncreated: 2005-05-05\n",
     "name=example.fr\ncreated=2005-05-05\n"},
    {"near miss: the domain's own block first", "example.fr",
     "domain: example.fr\ncreated: 2005-05-05\n\nnic-hdl: ABC1-FRNIC\ncreated: 1999-01-01\n",
     "name=example.fr\ncreated=2005-05-05\n"},
    {"a contact heading's created, indented, before the domain's", "example.it",
     "Domain: example.it\nRegistrant\n  Organization: Example Org\n  Created: 1999-01-01\n"
     "Admin Contact\n  Created: 1998-01-01\nCreated: 2005-05-05\n",
     "name=example.it\ncreated=2005-05-05\norg=Example Org\n"},
    {"a registrant heading with its fields no further right", "x.test",
     "Registrant:\nOrganization: Holder Ltd\nCountry: NL\n\nDomain: x.test\n",
     "name=x.test\norg=Holder Ltd\ncountry=NL\n"},
    {"two registrar lines: the first, never joined", "example.ru",
     "domain: EXAMPLE.RU\nregistrar: FIRST-RU\nregistrar: SECOND-RU\n",
     "name=example.ru\nregistrar=FIRST-RU\n"},
    {"a registrar's handle, then its object's name", "example.sk",
     "Domain: example.sk\n\nRegistrar: MARK-0292\nName: MarkMonitor Ltd\n",
     "name=example.sk\nregistrar=MarkMonitor Ltd\n"},
    {"near miss: a registrar's name is kept over a later Name:", "example.sk",
     "Registrar: Mark Monitor\nName: Someone Else\n", "registrar=Mark Monitor\n"},
    {"a day-first registry", "git.hk", "Domain Name Commencement Date: 11-07-2017\n",
     "created=2017-07-11\n"},
    {"a month-first registry", "git.tk", "Record will expire on: 03/02/2020\n",
     "expires=2020-03-02\n"},
    {"a registry of unknown order: no guess", "git.zz", "Created: 03/02/2020\n",
     "ambiguous=03/02/2020\n"},
    {"name servers under a heading, ending at the next label", "example.com",
     "Name Servers:\n  ns1.example.com\n  NS2.EXAMPLE.COM.  192.0.2.1\nCreated: 2001-01-01\n",
     "created=2001-01-01\nns=ns1.example.com,ns2.example.com\n"},
    {"name servers under a heading without a colon, up to a blank line", "google.ch",
     "Name servers\nns1.google.com\nns2.google.com\n\nFirst registration date\t31 May 1999\n",
     "created=1999-05-31\nns=ns1.google.com,ns2.google.com\n"},
    {"a blank line under the heading and glue apart", "git.hk",
     "Name Servers Information:\n\nNS1.X.NET  \nns2.x.net (192.0.2.2)\n\nns3.y.net\n",
     "ns=ns1.x.net,ns2.x.net\n"},
    {"more name servers on the lines below the first", "google.pl",
     "nameservers:  ns1.google.com.\n              ns2.google.com.\ncreated: 2002.09.19\n",
     "created=2002-09-19\nns=ns1.google.com,ns2.google.com\n"},
    {"dot leaders", "example.fi",
     "domain.............: example.fi\ncreated............: 30.6.2006 00:00:00\n"
     "Domain:.............name.fi\n",
     "name=example.fi\ncreated=2006-06-30\n"},
    {"no blank after the colon", "example.com",
     "Domain Name:EXAMPLE.COM\nRegistrar:Example Registrar, Inc.\npaid-till:2020-01-01\n",
     "name=example.com\nregistrar=Example Registrar, Inc.\nexpires=2020-01-01\n"},
    {"a redacted registrant", "example.com",
     "Domain Name: EXAMPLE.COM\nRegistrant Organization: REDACTED FOR PRIVACY\n"
     "Registrant Country: US\nRegistrant Email: Redacted for privacy\n",
     "name=example.com\ncountry=US\nredacted=registrant_organization,registrant_email\n"},
    {"a thick gTLD record", "example.com",
     "Domain Name: EXAMPLE.COM\nRegistrar WHOIS Server: whois.example.net\n"
     "Updated Date: 2020-01-02T03:04:05Z\nCreation Date: 1995-08-14T04:00:00Z\n"
     "Registry Expiry Date: 2021-08-13T04:00:00Z\nRegistrar: Example Registrar\n"
     "Registrar IANA ID: 376\nRegistrar Abuse Contact Email: abuse@example.net\n"
     "Registrar Abuse Contact Phone: +1.5555550100\n"
     "Domain Status: clientDeleteProhibited https://icann.org/epp#clientDeleteProhibited\n"
     "Domain Status: serverHold https://icann.org/epp#serverHold\n"
     "Name Server: B.IANA-SERVERS.NET\nName Server: A.IANA-SERVERS.NET\n"
     "DNSSEC: signedDelegation\nRegistrant Organization: Example Org\n",
     "name=example.com\nregistrar=Example Registrar\niana=376\n"
     "abuse=abuse@example.net +1.5555550100\ncreated=1995-08-14T04:00:00Z\n"
     "updated=2020-01-02T03:04:05Z\nexpires=2021-08-13T04:00:00Z\n"
     "status=clientDeleteProhibited,serverHold\nns=b.iana-servers.net,a.iana-servers.net\n"
     "dnssec=signed\norg=Example Org\n"},
    {"JPRS's bracketed labels", "google.co.jp",
     "a. [Domain Name]                GOOGLE.CO.JP\n"
     "p. [Name Server]                ns1.google.com\n[State]   Connected (2024/03/31)\n"
     "[Registered Date]               2001/03/22\n"
     "[Last Update]                   2023/04/01 01:05:57 (JST)\n",
     "name=google.co.jp\ncreated=2001-03-22\nupdated=2023-03-31T16:05:57Z\n"
     "status=Connected (2024/03/31)\nns=ns1.google.com\n"},
    {"Nominet's headings", "git.uk",
     "    Registrar:\n        123-Reg Limited [Tag = 123-REG]\n        URL: "
     "http://www.123-reg.co.uk\n"
     "\n    Relevant dates:\n        Registered on: 22-Oct-2017\n        Expiry date:  "
     "22-Oct-2019\n",
     "registrar=123-Reg Limited [Tag = 123-REG]\nurl=http://www.123-reg.co.uk\n"
     "created=2017-10-22\nexpires=2019-10-22\n"},
    {"a registrar with its URL in brackets; a date phrase", "google.gg",
     "Registrar:\n     MarkMonitor Inc. (http://www.markmonitor.com)\n\nRelevant dates:\n"
     "     Registered on 30th April 2003 at 00:00:00.000\n",
     "registrar=MarkMonitor Inc.\nurl=http://www.markmonitor.com\ncreated=2003-04-30\n"},
    {"DK Hostmaster's DNS: names the domain, not a server", "google.dk",
     "Domain:               google.dk\nDNS:                  google.dk\n\nNameservers\n"
     "Hostname:             ns1.google.com\n",
     "name=google.dk\nns=ns1.google.com\n"},
    {"numbered name-server labels; unsigned", "gre.nz",
     "ns_name_01: ns-196-c.gandi.net\nns_name_02: ns-110-a.gandi.net\nDNSSEC: unsigned\n",
     "ns=ns-196-c.gandi.net,ns-110-a.gandi.net\ndnssec=unsigned\n"},
    {"numbers right after the label", "x.test", "nserver1: NS1.X.TEST\nnserver2: ns2.x.test\n",
     "ns=ns1.x.test,ns2.x.test\n"},
    {"an ARIN network", "192.0.2.1",
     "NetRange:       192.0.2.0 - 192.0.2.255\nCIDR:           192.0.2.0/24\n"
     "NetName:        TEST-NET\nNetHandle:      NET-192-0-2-0-1\nOriginAS:       AS64500\n"
     "Organization:   Example Org (EX-1)\n\nOrgName:        Example Org\nCountry:        US\n",
     "range=192.0.2.0 - 192.0.2.255\ncidr=192.0.2.0/24\nnetname=TEST-NET\n"
     "handle=NET-192-0-2-0-1\nnetorg=Example Org (EX-1)\nnetcountry=US\norigin=AS64500\n"},
    {"a RIPE network: descr stands in for the organisation, a role's lines are not read",
     "192.0.2.1",
     "inetnum:        192.0.2.0 - 192.0.2.255\nnetname:        EXAMPLE-NET\n"
     "descr:          Example Networks\ncountry:        NL\ncreated:        "
     "2001-01-01T00:00:00Z\n\n"
     "role:           Example NOC\ncountry:        DE\ncreated:        1999-01-01T00:00:00Z\n\n"
     "route:          192.0.2.0/24\norigin:         AS64500\n",
     "created=2001-01-01T00:00:00Z\nrange=192.0.2.0 - 192.0.2.255\ncidr=192.0.2.0/24\n"
     "netname=EXAMPLE-NET\nnetorg=Example Networks\nnetcountry=NL\norigin=AS64500\n"},
    {"a domain's country is no network", "example.de", "Domain: example.de\nCountry: DE\n",
     "name=example.de\n"},
    {"comments and prose name nothing", "example.com",
     "% Registrar: Not This\n# created: 2001-01-01\nThe registrar of record is shown below.\n", ""},
    // Limits, at the limit and one past: lists keep 64 values, the first ones in order; 64
    // date lines are tried; a label is up to 64 bytes before its colon; values are cut at 256.
    {"64 name servers", "x.test", NameServerLines(64), NameServerList(64)},
    {"65 name servers: the last dropped", "x.test", NameServerLines(65), NameServerList(64)},
    {"a date on the 64th date line", "x.test", Lines("Created: soon", 63) + "Created: 2001-03-21\n",
     "created=2001-03-21\n"},
    {"a date on the 65th date line", "x.test", Lines("Created: soon", 64) + "Created: 2001-03-21\n",
     ""},
    {"a label of 64 bytes", "x.test", "Registrar" + std::string(55, ' ') + ": R\n",
     "registrar=R\n"},
    {"a label of 65 bytes is prose", "x.test", "Registrar" + std::string(56, ' ') + ": R\n", ""},
    {"a value of 300 bytes", "x.test", "Registrar: " + std::string(300, 'r') + "\n",
     "registrar=" + std::string(256, 'r') + "\n"},
};

TEST(WhoisRecord, ReadsEachShapeOfAnswer) {
    for (const auto& row : kRecords)
        EXPECT_EQ(Dump(ReadWhoisRecord(row.text, row.query)), row.want) << row.what;
}

TEST(WhoisRecord, MergeTakesTheRegistrysDatesAndTheRegistrarsContacts) {
    Registration registry, registrar;
    registry.name = "example.com";
    registry.registrar.name = "Registry's Name For It";
    registry.registrar.url = "http://registry.example";
    registry.created = "2001-01-01";
    registry.status = {"serverHold"};
    registry.nameservers = {"ns1.example.net"};
    registrar.registrar.name = "Registrar Inc.";
    registrar.registrar.url = "http://registrar.example";
    registrar.registrar.abuseEmail = "abuse@registrar.example";
    registrar.created = "2001-01-02";
    registrar.expires = "2030-01-01";
    registrar.status = {"ok"};
    registrar.nameservers = {"ns9.example.net"};
    registrar.registrantOrganization = "Holder Ltd";
    registrar.redacted = {"registrant_email"};
    const Registration m = MergeRecords(registry, registrar);
    EXPECT_EQ(Dump(m), "name=example.com\nregistrar=Registry's Name For It\n"
                       "url=http://registrar.example\nabuse=abuse@registrar.example\n"
                       "created=2001-01-01\nexpires=2030-01-01\nstatus=serverHold\n"
                       "ns=ns1.example.net\norg=Holder Ltd\nredacted=registrant_email\n");
}

// RDAP answers of registries, registrars and RIRs: the record holds what their JSON states.
// `source` is a corpus file's name, or the JSON itself.
struct RdapRow {
    const char* source;
    const char* want;
};

const RdapRow kRdap[] = {
    {"verisign-domain-GOOGLE.COM.json",
     "name=google.com\nregistrar=MarkMonitor Inc.\niana=292\nabuse=abusecomplaints@markmonitor.com "
     "+1.2083895740\ncreated=1997-09-15T04:00:00Z\nexpires=2028-09-14T04:00:00Z\nstatus=client "
     "delete prohibited,client transfer prohibited,client update prohibited,server delete "
     "prohibited,server transfer prohibited,server update "
     "prohibited\nns=ns1.google.com,ns2.google.com,ns3.google.com,ns4.google.com\ndnssec=signed\n"},
    {"markmonitor-registrar-domain-google.com.json",
     "name=google.com\nregistrar=MarkMonitor Inc.\niana=292\nabuse=abusecomplaints@markmonitor.com "
     "+1.2083895770\ncreated=1997-09-15T07:00:00Z\nupdated=2019-09-09T15:39:04Z\nexpires=2028-09-"
     "13T07:00:00Z\nstatus=client update prohibited,client transfer prohibited,client delete "
     "prohibited,server update prohibited,server transfer prohibited,server delete "
     "prohibited\nns=ns1.google.com,ns2.google.com,ns3.google.com,ns4.google.com\ndnssec="
     "unsigned\norg=Google LLC\n"},
    {"nominet-domain-bbc.co.uk.json",
     "name=bbc.co.uk\nregistrar=British Broadcasting "
     "Corporation\nurl=https://www.bbc.co.uk/"
     "\nabuse=nominet.admins@bbc.co.uk\ncreated=1994-12-13T03:49:48Z\nupdated=2025-10-29T03:51:"
     "11Z\nexpires=2034-12-13T03:49:48Z\nstatus=server delete prohibited,server transfer "
     "prohibited,server update "
     "prohibited\nns=ddns0.bbc.co.uk,ddns0.bbc.com\ndnssec=unsigned\nredacted=registrant_name,"
     "registrant_organization,registrant_organisation_type,registrant_identifier_label,registrant_"
     "organisation_identifier,registrant_street,registrant_postal_code,registrant_city,registrant_"
     "country,registrant_region,registrant_email,registrant_phone\n"},
    {"pir-domain-wikipedia.org.json",
     "name=wikipedia.org\nregistrar=MarkMonitor "
     "Inc.\niana=292\nabuse=abusecomplaints@markmonitor.com "
     "+1.2083895740\ncreated=2001-01-13T00:12:14Z\nupdated=2026-08-12T08:47:19Z\nexpires=2027-01-"
     "13T00:12:14Z\nstatus=client delete prohibited,client transfer prohibited,client update "
     "prohibited\nns=ns0.wikimedia.org,ns1.wikimedia.org,ns2.wikimedia.org\ndnssec="
     "unsigned\nredacted=registry_domain_id\n"},
    {"arin-ip-8.8.8.8.json",
     "created=2014-03-14T20:52:05Z\nupdated=2014-03-14T20:52:05Z\nstatus=active\nrange=8.8.8.0 - "
     "8.8.8.255\ncidr=8.8.8.0/24\nnetname=LVLT-GOGL-8-8-8\nhandle=NET-8-8-8-0-1\nnetorg=Google "
     "LLC\nregistry=whois.arin.net\n"},
    {"apnic-autnum-AS9269.json",
     "created=2008-09-04T06:40:30Z\nupdated=2020-07-15T13:09:38Z\nstatus=active\nrange="
     "AS9269\nnetname=HKBN-AS-AP\nhandle=AS9269\nnetorg=Hong Kong Broadband Network "
     "Ltd\nnetcountry=HK\nregistry=whois.apnic.net\n"},
    {"ripe-ip-130.59.31.80.json", "updated=2021-10-19T07:12:42Z\nrange=130.59.0.0 - "
                                  "130.59.255.255\nnetname=SWITCH-LAN\nhandle=130.59.0.0 - "
                                  "130.59.255.255\nnetcountry=CH\nregistry=whois.ripe.net\n"},
    {"unknown-registrar-nonconforming-domain-something-not-real.com.json",
     "name=something-not-real.com\niana=1250\ncreated=2023-07-05\nupdated=2023-07-05\nexpires=2024-"
     "07-05\nstatus=active\ndnssec=unsigned\n"},
    {"afnic-help.json", ""},
    {"apnic-error400-entity-HH11825JP.json", ""},
    // Found by the fuzz target: an ldhName that is no host name, and one server listed twice.
    {R"({"objectClassName":"domain","nameservers":[{"ldhName":"NS3.X.TEST."},)"
     R"({"ldhName":"NS4 Form"},{"ldhName":"ns3.x.test"},{"ldhName":"ns5.x.test"}]})",
     "ns=ns3.x.test,ns5.x.test\n"},
};

TEST(WhoisRecord, ReadsRdapAnswers) {
    const std::string dir = std::string(ZW_RDAP_CORPUS) + "/";
    for (const auto& row : kRdap) {
        std::string json = row.source;
        ASSERT_TRUE(json[0] == '{' || platform::ReadFileBytes(dir + row.source, json))
            << row.source;
        EXPECT_EQ(Dump(ReadRdapRecord(json)), row.want) << row.source;
    }
}

TEST(WhoisRecord, AnAnswerStatingTheRegistrationIsARecordWithoutANameLine) {
    const struct {
        const char* text;
        bool record;
    } rows[] = {
        {"Registrar: R Inc.\r\nCreated: 2001-03-21\r\n", true},
        {"nserver: ns1.x.test\r\nExpires: 2030-03-21\r\n", true},
        {"Registrar: R Inc.\r\n", false},   // no date
        {"Created: 2001-03-21\r\n", false}, // nothing but a date
        {"Domain: other.test\r\nRegistrar: R\r\nCreated: 2001-03-21\r\n", false}, // another name
        {"No match for x.test\r\nRegistrar: R\r\nCreated: 2001-03-21\r\n", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(StatesRegistration(row.text, "x.test"), row.record) << row.text;
}

// A network stated by its range or its CIDR alone is shown as stated, nothing added.
TEST(WhoisRecord, SummaryShowsARangeOrACidrAsStated) {
    Registration rangeOnly, cidrOnly;
    rangeOnly.network.range = "192.0.2.0 - 192.0.2.255";
    cidrOnly.network.cidr = "192.0.2.0/24";
    for (const auto& [record, want] :
         {std::pair{rangeOnly, "192.0.2.0 - 192.0.2.255"}, std::pair{cidrOnly, "192.0.2.0/24"}}) {
        const std::vector<SummaryLine> lines = RecordSummary(record);
        ASSERT_EQ(lines.size(), 1u) << want;
        EXPECT_EQ(lines[0].field, SummaryField::Network);
        EXPECT_EQ(lines[0].value, want);
    }
}

} // namespace
