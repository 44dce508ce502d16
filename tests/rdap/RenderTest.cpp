#include "rdap/RdapRender.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string Sample(const std::string& name) {
    std::ifstream in(std::string(ZW_RDAP_CORPUS) + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every real answer of the corpus, with what a reader looks for in its text (SOURCES.tsv).
struct SampleRow {
    const char* file;
    std::vector<const char*> shown;
    const char* registrarLink = "";
};

const SampleRow kSamples[] = {
    {"afnic-domain-airport.fr.json",
     {"Domain Name: airport.fr", "Registrar IANA ID: 82909", "Name: Ano Nymous", "Status: inactive",
      "Address: 231, rue Saint Honoré"}},
    {"afnic-domain-lemonde.fr.json",
     {"Registrar: NAMESHIELD", "Registrar IANA ID: 1251", "Organization: SOCIETE EDITRICE DU MONDE",
      "Name Server: ns-cloud-b4.googledomains.com", "Expiration: 2025-06-09T22:08:09Z"}},
    {"afnic-help.json", {"Notice: RDAP queries can be made", "  ...\n"}},
    {"afrinic-ip-41.192.224.0.json",
     {"Network: 41.192.224.0 - 41.192.255.255", "Type: ASSIGNED PA", "Country: ZA",
      "Phone: +27-21-940-9498\n"}},
    {"apnic-autnum-AS9269.json",
     {"AS Number: AS9269", "AS Name: HKBN-AS-AP", "Name: Hong Kong Broadband Network Ltd",
      "Registration: 2008-09-04T06:40:30Z"}},
    {"apnic-error400-entity-HH11825JP.json",
     {"Error: 400 Bad Request", "Request could not be understood"}},
    {"apnic-ip-1.1.1.0_24.json",
     {"Network: 1.1.1.0 - 1.1.1.255", "Network Name: APNIC-LABS", "Country: AU"}},
    {"apnic-ip-118.16.0.0_13-jpnic.json",
     {"Network Name: OCN", "Country: JP", "Japan Network Information Center"}},
    {"arin-autnum-AS13335.json", {"AS Number: AS13335", "AS Name: CLOUDFLARENET", "Cloudflare"}},
    {"arin-entity-GOVI.json",
     {"Handle: GOVI", "Name: Govital Internet Inc.", "Email: support@govital.net"}},
    {"arin-ip-2001_4860__.json",
     {"CIDR: 2001:4860::/32", "Network Name: GOOGLE-IPV6", "Google LLC"}},
    {"arin-ip-8.8.8.8.json",
     {"Network: 8.8.8.0 - 8.8.8.255", "Network Name: LVLT-GOGL-8-8-8",
      "Parent Handle: NET-8-0-0-0-1", "Google LLC"}},
    {"centralnic-domain-abc.xyz.json",
     {"Domain Name: abc.xyz", "Registrar: MarkMonitor Inc.", "Expiration: 2027-03-20T23:59:59.0Z",
      "Name Server: ns2.google.com"},
     "https://rdap.markmonitor.com/rdap/domain/abc.xyz"},
    {"google-registry-domain-web.dev.json",
     {"Domain Name: web.dev", "Registrar IANA ID: 292", "Name Server: ns1.zdns.google"},
     "https://rdap.markmonitor.com/rdap/domain/web.dev"},
    {"jpnic-autnum-AS2515.json", {"AS Number: AS2515", "AS Name: JPNIC", "Country: JP"}},
    {"lacnic-ip-190.216.32.0_19.json",
     {"Network: 190.216.32.0 - 190.216.63.255", "Level 3 Argentina S.A.",
      "Registration: 2008-05-23T21:39:43Z"}},
    {"markmonitor-registrar-domain-abc.xyz.json",
     {"Organization: Google LLC", "Registrar IANA ID: 292",
      "Registration: 2014-03-20T12:59:17.000+0000"}},
    {"markmonitor-registrar-domain-google.com.json",
     {"Domain Name: google.com", "Organization: Google LLC",
      "Registrar Abuse Contact Email:", "Expiration: 2028-09-13T07:00:00.000+0000"}},
    {"namecheap-registrar-domain-namecheap.com.json",
     {"Registrar: NAMECHEAP INC", "Registrar expiration: 2032-08-11T16:15:25Z", "Name: [REDACTED]",
      "Organization: Privacy service provided by WITHHELD FOR PRIVACY LLC",
      "Redacted: Registry Domain ID, Registrant Name"}},
    {"nominet-domain-bbc.co.uk.json",
     {"Registrar: British Broadcasting Corporation", "Registrar Handle: BBC",
      "Name Server: ddns0.bbc.co.uk.", "Name: [REDACTED]", "Registrant Email"}},
    {"pir-domain-wikipedia.org.json",
     {"Domain Name: wikipedia.org", "Registrar: MarkMonitor Inc.", "Name Server: ns0.wikimedia.org",
      "Expiration: 2027-01-13T00:12:14Z"},
     "https://rdap.markmonitor.com/rdap/domain/wikipedia.org"},
    {"pir-error404-domain-markwatch-nonexistent-7f3kq9.org.json", {"Error: 404 Object not found"}},
    {"rdaporg-error404-domain-test.fr.json",
     {"Error: 404 domain test.fr not found in IANA boostrap file"}},
    {"ripe-autnum-AS16276.json", {"AS Number: AS16276", "AS Name: OVH", "Email: abuse@ovh.net"}},
    {"ripe-entity-CLUE1-RIPE.json",
     {"Handle: CLUE1-RIPE", "Name: Netwerkvereniging Coloclue", "Email: ops@coloclue.net"}},
    {"ripe-error501-nameserver.json",
     {"Error: 501 501 Not Implemented", "Nameserver not supported"}},
    {"ripe-ip-130.59.31.80.json",
     {"Network: 130.59.0.0 - 130.59.255.255", "Network Name: SWITCH-LAN", "Type: LEGACY",
      "Country: CH"}},
    {"uniregistry-domain-microsoft.click.json",
     {"Domain Name: microsoft.click", "Registrar: MarkMonitor Inc.",
      "Organization: Microsoft Corporation", "Name Server: ns4-08.azure-dns.info"}},
    {"unknown-registrar-nonconforming-domain-something-not-real.com.json",
     {"Domain Name: something-not-real.com", "Registrar IANA ID: 1250", "Status: active"}},
    {"verisign-domain-20C.COM.json",
     {"Registrar: CSL Computer Service Langenbach GmbH d/b/a joker.com",
      "Name Server: NS-1468.AWSDNS-55.ORG"},
     "https://rdap.joker.com/domain/20C.COM"},
    {"verisign-domain-EXAMPLE.COM.json",
     {"Domain Name: EXAMPLE.COM", "Registrar IANA ID: 376", "Name Server: A.IANA-SERVERS.NET",
      "Expiration: 2025-08-13T04:00:00Z"}},
    {"verisign-domain-GOOGLE.COM.json",
     {"Registrar Abuse Contact Email: abusecomplaints@markmonitor.com",
      "Registrar Abuse Contact Phone: +1.2083895740", "DNSSEC: signed delegation"},
     "https://rdap.markmonitor.com/rdap/domain/GOOGLE.COM"},
};

TEST(RdapRender, EveryRealAnswerShowsWhatAReaderLooksFor) {
    for (const SampleRow& row : kSamples) {
        std::string json = Sample(row.file);
        ASSERT_FALSE(json.empty()) << row.file;
        std::string text = rdap::Render(json);
        for (const char* shown : row.shown)
            EXPECT_NE(text.find(shown), std::string::npos) << row.file << " lacks " << shown << "\n"
                                                           << text;
        EXPECT_EQ(rdap::RegistrarLink(json), row.registrarLink) << row.file;
    }
}

bool ValidUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += n;
    }
    return true;
}

// Odd answers: what can be read is shown, nothing is thrown, the text stays safe to print.
struct OddRow {
    const char* what;
    std::string json;
    std::vector<const char*> shown;
    std::vector<const char*> absent;
};

const std::string kKanji = "日本ネットワークインフォメーションセンター";

TEST(RdapRender, OddAnswersRenderWhatCanBeRead) {
    std::string longJapanese;
    for (int i = 0; i < 20; ++i)
        longJapanese += kKanji;
    const OddRow rows[] = {
        {"not JSON", "<html>502</html>", {"not JSON"}, {}},
        {"JSON array", "[1,2]", {"not an RDAP object"}, {}},
        {"malformed jCards",
         R"({"objectClassName":"domain","ldhName":"a.test","entities":[
            {"roles":["registrant"],"vcardArray":["vcard",[["fn"],["org",{},"text",7],17,["email",{},"text","x@a.test"]]]},
            {"roles":"technical","vcardArray":{"not":"an array"}},
            {"roles":["admin"],"vcardArray":["vcard","x"]}]})",
         {"Domain Name: a.test", "Organization: 7", "Email: x@a.test", "Technical:", "Admin:"},
         {}},
        {"string errorCode",
         R"({"errorCode":"400","title":"Bad","description":"one string"})",
         {"Error: 400 Bad"},
         {}},
        {"unknown members and wrong types",
         R"({"objectClassName":"autnum","startAutnum":64496,"x":{"y":[1]},"status":"active","events":7,"nameservers":{}})",
         {"AS Number: AS64496", "Status: active"},
         {}},
        {"Japanese kept",
         R"({"objectClassName":"entity","handle":"JNIC1-AP","vcardArray":["vcard",[["fn",{},"text",")" +
             kKanji + R"("]]],"notices":[{"title":"注意","description":[")" + longJapanese +
             R"("]}]})",
         {"Name: 日本ネットワークインフォメーションセンター", "Notice: 注意", "  ...\n"},
         {}},
        {"terminal controls",
         "{\"objectClassName\":\"domain\",\"ldhName\":\"a.test\",\"handle\":\"H\\u001b["
         "2J\\r\\nX\"}",
         {"Handle: H [2J  X\n"},
         {"\x1b"}},
        {"removal redaction without blank name",
         R"({"objectClassName":"domain","ldhName":"a.test","redacted":[{"name":{"description":"Tech Email"},"method":"removal"}]})",
         {"Redacted: Tech Email"},
         {"[REDACTED]"}},
        {"blank name without redaction",
         R"({"objectClassName":"domain","ldhName":"a.test","entities":[{"roles":["registrant"],"vcardArray":["vcard",[["fn",{},"text",""]]]}]})",
         {"Registrant:"},
         {"[REDACTED]"}},
        {"deep nesting",
         std::string(5000, '[') + std::string(5000, ']'),
         {"not an RDAP object"},
         {}},
    };
    for (const OddRow& row : rows) {
        std::string text = rdap::Render(row.json);
        for (const char* shown : row.shown)
            EXPECT_NE(text.find(shown), std::string::npos) << row.what << " lacks " << shown << "\n"
                                                           << text;
        for (const char* absent : row.absent)
            EXPECT_EQ(text.find(absent), std::string::npos) << row.what << " has " << absent;
        EXPECT_TRUE(ValidUtf8(text)) << row.what;
        EXPECT_EQ(text.back(), '\n') << row.what;
    }
}

TEST(RdapRender, ErrorLinesAndRegistrarLinks) {
    const struct {
        std::string json;
        long status;
        const char* line;
    } errors[] = {
        {Sample("pir-error404-domain-markwatch-nonexistent-7f3kq9.org.json"), 404,
         "No match: Object not found"},
        {Sample("ripe-error501-nameserver.json"), 501,
         "Error (HTTP 501): 501 Not Implemented: Nameserver not supported"},
        {"", 404, "No match (HTTP 404)"},
    };
    for (const auto& e : errors)
        EXPECT_EQ(rdap::RenderError(e.json, e.status), e.line);
    // Links that are not a registrar's domain record are not followed.
    const struct {
        const char* links;
        const char* want;
    } links[] = {
        {R"([{"rel":"related","type":"text/html","href":"https://r.test/domain/a.test"}])", ""},
        {R"([{"rel":"related","type":"application/rdap+json","href":"https://r.test/ip/192.0.2.0"}])",
         ""},
        {R"([{"rel":"self","type":"application/rdap+json","href":"https://r.test/domain/a.test"}])",
         ""},
        {R"([{"rel":"related","href":7},{"rel":"Related","type":"application/rdap+json","href":"https://r.test/domain/a.test"}])",
         "https://r.test/domain/a.test"},
    };
    for (const auto& l : links)
        EXPECT_EQ(rdap::RegistrarLink(std::string(R"({"links":)") + l.links + "}"), l.want)
            << l.links;
}

} // namespace
