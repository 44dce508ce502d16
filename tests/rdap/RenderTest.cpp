#include "rdap/RdapRender.h"

#include <gtest/gtest.h>

#include "platform/TextFile.h"
#include "tests/rdap/Helpers.h"

namespace {

std::string Sample(const std::string& name) {
    return ReadRaw(std::string(ZW_RDAP_CORPUS) + "/" + name);
}

// Every real answer of the corpus, with what a reader looks for in it (SOURCES.tsv).
const struct {
    const char* file;
    const char* shown;
    const char* registrarLink = "";
} kSamples[] = {
    {"afnic-domain-airport.fr.json", "Registrar IANA ID: 82909|Name: Ano Nymous|rue Saint Honoré"},
    {"afnic-domain-lemonde.fr.json", "Registrar: NAMESHIELD|DU MONDE|Expiration: 2025-06-09T22|"
                                     "  Remarks:\n    NO\n    NO\n    ORGANIZATION\n    NO\n"},
    {"afnic-help.json", "Notice: RDAP queries can be made|  ...\n"},
    {"afrinic-ip-41.192.224.0.json", "Network: 41.192.224.0 - 41.192.255.255|Phone: +27-21-940"},
    {"apnic-autnum-AS9269.json", "AS Number: AS9269\nAS Name: HKBN-AS-AP|Hong Kong Broadband"},
    {"apnic-error400-entity-HH11825JP.json", "Error: 400 Bad Request|could not be understood"},
    {"apnic-ip-1.1.1.0_24.json", "Network Name: APNIC-LABS|Country: AU"},
    {"apnic-ip-118.16.0.0_13-jpnic.json", "Network Name: OCN|Japan Network Information Center"},
    {"arin-autnum-AS13335.json", "AS Number: AS13335|AS Name: CLOUDFLARENET"},
    {"arin-entity-GOVI.json", "Name: Govital Internet Inc.|Email: support@govital.net"},
    {"arin-ip-2001_4860__.json", "CIDR: 2001:4860::/32|Google LLC"},
    {"arin-ip-8.8.8.8.json", "Network Name: LVLT-GOGL-8-8-8|Parent Handle: NET-8-0-0-0-1|please "
                             "visit:\n  https://www.arin.net/resources/registry/whois/inaccuracy"},
    {"centralnic-domain-abc.xyz.json", "Registrar: MarkMonitor Inc.|Name Server: ns2.google.com",
     "https://rdap.markmonitor.com/rdap/domain/abc.xyz"},
    {"google-registry-domain-web.dev.json", "Domain Name: web.dev|Registrar IANA ID: 292",
     "https://rdap.markmonitor.com/rdap/domain/web.dev"},
    {"jpnic-autnum-AS2515.json", "AS Name: JPNIC|Country: JP"},
    {"lacnic-ip-190.216.32.0_19.json", "190.216.32.0 - 190.216.63.255|Level 3 Argentina S.A."},
    {"markmonitor-registrar-domain-abc.xyz.json", "Organization: Google LLC|2014-03-20T12:59"},
    {"markmonitor-registrar-domain-google.com.json",
     "Abuse Contact Email|removed.\nAdministrative:\n  Address: CA, US"},
    {"namecheap-registrar-domain-namecheap.com.json",
     "Registrar expiration: 2032|Name: [REDACTED]|WITHHELD FOR PRIVACY|Redacted: Registry Domain "
     "ID"},
    {"nominet-domain-bbc.co.uk.json", "Registrar Handle: BBC|Name: [REDACTED]|ddns0.bbc.co.uk."},
    {"pir-domain-wikipedia.org.json", "Name Server: ns0.wikimedia.org|Expiration: 2027-01-13",
     "https://rdap.markmonitor.com/rdap/domain/wikipedia.org"},
    {"pir-error404-domain-markwatch-nonexistent-7f3kq9.org.json", "Error: 404 Object not found"},
    {"rdaporg-error404-domain-test.fr.json", "Error: 404 domain test.fr not found"},
    {"ripe-autnum-AS16276.json", "AS Number: AS16276|Email: abuse@ovh.net"},
    {"ripe-entity-CLUE1-RIPE.json", "Handle: CLUE1-RIPE|Name: Netwerkvereniging Coloclue"},
    {"ripe-error501-nameserver.json", "Error: 501 501 Not Implemented|Nameserver not supported"},
    {"ripe-ip-130.59.31.80.json", "Network Name: SWITCH-LAN|Type: LEGACY|Country: CH"},
    {"uniregistry-domain-microsoft.click.json", "Registrar: MarkMonitor|Microsoft Corporation"},
    {"unknown-registrar-nonconforming-domain-something-not-real.com.json", "IANA ID: 1250"},
    {"verisign-domain-20C.COM.json", "d/b/a joker.com|Name Server: NS-1468.AWSDNS-55.ORG",
     "https://rdap.joker.com/domain/20C.COM"},
    {"verisign-domain-EXAMPLE.COM.json",
     "Domain Name: EXAMPLE.COM|Name Server: A.IANA-SERVERS.NET"},
    {"verisign-domain-GOOGLE.COM.json", "Abuse Contact Phone: +1.2083895740|DNSSEC: signed",
     "https://rdap.markmonitor.com/rdap/domain/GOOGLE.COM"},
};

TEST(RdapRender, EveryRealAnswerShowsWhatAReaderLooksFor) {
    for (const auto& row : kSamples) {
        std::string json = Sample(row.file);
        ExpectShown(rdap::Render(json), row.shown, row.file);
        EXPECT_EQ(rdap::RegistrarLink(json), row.registrarLink) << row.file;
    }
}

// Odd answers: what can be read is shown, nothing is thrown, the text stays safe to print.
TEST(RdapRender, OddAnswersRenderWhatCanBeRead) {
    const std::string kanji = "日本ネットワークインフォメーションセンター";
    std::string longJapanese;
    for (int i = 0; i < 20; ++i)
        longJapanese += kanji;
    const struct {
        std::string json;
        const char* shown;
        const char* absent = "\x1b";
    } rows[] = {
        {"<html>502</html>", "not JSON"},
        {"[1,2]", "not an RDAP object"},
        {"{\"objectClassName\":\"entity\",\"handle\":\"Honor\xe9 \xe6\x97\xa5\"}",
         "Handle: Honoré 日\n"},
        {std::string(5000, '[') + std::string(5000, ']'), "not an RDAP object"},
        {R"({"ldhName":"a.test","nameservers":[],"entities":[{"roles":["registrant"],"vcardArray":
            ["vcard",[["fn"],["org",{},"text",7],17,["email",{},"text","x@a.test"]]]},
            {"roles":"technical","vcardArray":{"x":1}},{"roles":["admin"],"vcardArray":["vcard","x"]}]})",
         "Domain Name: a.test|Organization: 7|Email: x@a.test|Technical:|Admin:"},
        {R"({"errorCode":"400","title":"Bad","description":"one string"})", "Error: 400 Bad"},
        {R"({"startAutnum":64496,"x":{"y":[1]},"status":"active","events":7,"entities":{}})",
         "AS Number: AS64496|Status: active"},
        {R"({"objectClassName":"entity","vcardArray":["vcard",[["fn",{},"text",")" + kanji +
             R"("]]],"notices":[{"title":"注意","description":[")" + longJapanese + R"("]}]})",
         "Name: 日本ネットワークインフォメーションセンター\n|Notice: 注意|  ...\n"},
        {"{\"objectClassName\":\"domain\",\"handle\":\"H\\u001b[2J\\r\\n\\u009bX\"}",
         "Handle: H [2J   X\n"},
        {R"({"ldhName":"a.test","redacted":[{"name":{"description":"Tech Email"}}],"nameservers":[]})",
         "Redacted: Tech Email", "[REDACTED]"},
        {R"({"objectClassName":"domain","entities":[{"roles":["registrant"],"vcardArray":["vcard",
            [["fn",{},"text",""]]]}]})",
         "Registrant:", "[REDACTED]"},
        // Contacts in a reader's order whatever the answer's.
        {R"({"objectClassName":"domain","entities":[{"roles":["abuse"],"handle":"E"},
            {"roles":["billing"],"handle":"D"},{"roles":["technical"],"handle":"C"},
            {"handle":"F"},{"roles":["registrant"],"handle":"A"},
            {"roles":["administrative"],"handle":"B"}]})",
         "Registrant:\n  Handle: A\nAdministrative:\n  Handle: B\nTechnical:\n  Handle: "
         "C\nBilling:\n"
         "  Handle: D\nAbuse:\n  Handle: E\nContact:\n  Handle: F\n"},
        // Untitled remarks folded under one heading, empty ones dropped; links under their text.
        {R"({"objectClassName":"entity","handle":"H","entities":[{"roles":["technical"],"remarks":[
            {"description":["NO"]},{"description":[""]},{"title":"T","description":["x"],"links":[
            {"href":"https://r.test/"}]},{},{"description":["ORG"]}]}],"remarks":[{"description":[]}],
            "notices":[{"title":"Report","description":["please visit:"],"links":[{"href":
            "https://n.test/report"},{"href":"javascript:x"}]}]})",
         "Technical:\n  Remark: T\n    x\n    https://r.test/\n  Remarks:\n    NO\n    "
         "ORG\nNotice: "
         "Report\n  please visit:\n  https://n.test/report\n",
         "Remark\n"},
    };
    for (const auto& row : rows) {
        std::string text = rdap::Render(row.json);
        ExpectShown(text, row.shown, row.json.substr(0, 60));
        EXPECT_EQ(text.find(row.absent), std::string::npos) << text;
        EXPECT_TRUE(platform::IsValidUtf8(text) && text.back() == '\n') << text;
    }
}

TEST(RdapRender, ErrorLinesAndRegistrarLinks) {
    EXPECT_EQ(
        rdap::RenderError(Sample("pir-error404-domain-markwatch-nonexistent-7f3kq9.org.json"), 404),
        "No match: Object not found");
    EXPECT_EQ(rdap::RenderError(Sample("ripe-error501-nameserver.json"), 501),
              "Error (HTTP 501): 501 Not Implemented: Nameserver not supported");
    EXPECT_EQ(rdap::RenderError("", 404), "No match (HTTP 404)");
    // Only a related link to an RDAP domain record is a registrar's, whatever comes before it.
    const struct {
        const char *rel, *type, *href;
        bool followed;
    } links[] = {
        {"related", "text/html", "https://r.test/domain/a.test", false},
        {"related", "application/rdap+json", "https://r.test/ip/192.0.2.0", false},
        {"self", "application/rdap+json", "https://r.test/domain/a.test", false},
        {"Related", "application/rdap+json", "https://r.test/domain/a.test", true},
    };
    for (const auto& l : links)
        EXPECT_EQ(rdap::RegistrarLink(
                      std::string(R"({"links":[{"rel":"related","href":7},{"rel":")") + l.rel +
                      R"(","type":")" + l.type + R"(","href":")" + l.href + R"("}]})"),
                  l.followed ? l.href : "")
            << l.rel << " " << l.type << " " << l.href;
}

} // namespace
