// RDAP in zwhois's chains: the real executable against fake port-43 and RDAP servers (HTTP,
// and HTTPS with a certificate made here) in the test's own network namespace.
#include "tests/cli/CliFixture.h"
#include "tests/rdap/Helpers.h"
#include "tests/support/FakeHttpServer.h"

#include <algorithm>
#include <filesystem>

#include <sys/mount.h>

namespace clitest {
namespace {

using namespace std::chrono_literals;

using testsupport::FakeHttpServer;
using testsupport::HttpReply;
using Strings = std::vector<std::string>;

const std::string kRdap = "http://127.0.0.2:8080/", kPath = "/domain/example.ltd";
const std::string kUrl = kRdap + "domain/example.ltd", kRar = kRdap + "rar/domain/x";
const std::string kSteps = "rdap " + kUrl + "\nrdap " + kRar;
const std::string kRecord =
    R"({"objectClassName":"domain","ldhName":"EXAMPLE.LTD","handle":"D7-LTD","links":[{"rel":)"
    R"("related","type":"application/rdap+json","href":"http://127.0.0.2:8080/rar/domain/x"}]})";

class CliRdapTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        std::filesystem::create_directory(home_.file("rdap"));
        WriteFile("Server.wis", std::string(sb::kRefused) + ",-,ltd\r\n");
        WriteFile("rdap/dns.json", R"({"services":[[["ltd"],[")" + kRdap + R"("]]]})");
    }
};

TEST_F(CliRdapTest, RdapStandsInWherePortFortyThreeCannotAnswer) {
    REQUIRE_SANDBOX();
    // A registry's record whose registrar refuses.
    FakeServer registry(sb::kWhoisAAddr, 43,
                        FakeServer::Answer(Answer("Domain Name: EXAMPLE.LTD\r\nWhois Server: " +
                                                  std::string(sb::kRefused))));
    const HttpReply record = Reply(kRecord);
    HttpReply limited = Reply("", 429);
    limited.headers = {{"Retry-After", "1"}};
    struct Case {
        std::vector<std::string> args;
        std::vector<HttpReply> replies;
        int status;
        std::vector<std::string> out, err; // texts each must hold; "!" first: must not
        size_t fetches;
    } cases[] = {
        {{"--verbose"}, {record}, 0, {"refused\n\n" + kSteps, "RAR-"}, {"ltd\n" + kSteps}, 1},
        {{"--rdap", "--json", "--verbose"},
         {record},
         0,
         {kRar + "\",\"verdict\":\"hit\"}]"},
         {"!whois -h"},
         1},
        {{"-h", sb::kWhoisA}, {record}, 0, {"refused.a.test\n\nNo answer", "D7-"}, {}, 1},
        {{"--no-recursion", "-h", sb::kWhoisA}, {record}, 0, {"!D7-LTD"}, {}, 0},
        {{"--no-rdap"}, {record}, 2, {"!D7-LTD"}, {"refused.a.test: connection refused"}, 0},
        {{},
         {FakeHttpServer::NotFound()},
         2,
         {"rdap " + kUrl},
         {"refused.a.test: connection refused"},
         1},
        {{}, {limited, record}, 0, {"D7-LTD"}, {}, 2},
        {{}, {FakeHttpServer::Redirect(kRdap + "moved", 301)}, 0, {"RAR-SIDE"}, {}, 1},
        {{}, {Reply("{}", 500)}, 2, {}, {"RDAP server 127.0.0.2:8080: HTTP 500"}, 1},
        // The record read from the JSON, not from the rendered text: events, registrar, name
        // servers, DNSSEC; a date with an offset in UTC.
        {{"--rdap", "--json"},
         {Reply(R"j({"objectClassName":"domain","ldhName":"EXAMPLE.LTD","events":[)j"
                R"j({"eventAction":"registration","eventDate":"2001-03-21T05:00:00Z"},)j"
                R"j({"eventAction":"expiration","eventDate":"2030-03-21T05:00:00+09:00"}],)j"
                R"j("entities":[{"roles":["registrar"],"publicIds":[{"type":)j"
                R"j("IANA Registrar ID","identifier":"9999"}],"vcardArray":["vcard",[["fn",{},)j"
                R"j("text","Example Registrar"]]]}],"nameservers":[{"ldhName":"NS1.X.LTD."}],)j"
                R"j("secureDNS":{"delegationSigned":true}})j")},
         0,
         {R"j("record":{"name":"example.ltd","registrar":{"name":"Example Registrar",)j"
          R"j("iana_id":"9999","url":null,"abuse_email":null,"abuse_phone":null},)j"
          R"j("created":"2001-03-21T05:00:00Z","updated":null,"expires":"2030-03-20T20:00:00Z",)j"
          R"j("status":[],"nameservers":["ns1.x.ltd"],"dnssec":true,"registrant":null,)j"
          R"j("redacted":[],"network":null}})j"},
         {},
         1},
        // An error object sent with status 200 counts as its errorCode says.
        {{"--rdap"},
         {Reply(R"({"rdapConformance":["rdap_level_0"],"errorCode":404})")},
         1,
         {},
         {"example.ltd: no match"},
         1},
        {{"--rdap"},
         {Reply(R"({"rdapConformance":["rdap_level_0"],"errorCode":500})")},
         2,
         {},
         {"!no match", "RDAP server 127.0.0.2:8080"},
         1},
        // Bidirectional controls in a record are blanked as other controls are.
        {{"--rdap"},
         {Reply(R"({"objectClassName":"domain","handle":"D7\u202e-\u2066LTD"})")},
         0,
         {"Handle: D7 - LTD"},
         {},
         1},
    };
    for (const auto& c : cases) {
        const HttpReply rar = Reply(R"({"objectClassName":"domain","handle":"RAR-SIDE-99"})");
        FakeHttpServer rdap(
            "127.0.0.2", 8080,
            Sequence({{kPath, c.replies}, {"/rar/domain/x", {rar}}, {"/moved", {rar}}}));
        std::vector<std::string> args = c.args;
        args.push_back("example.ltd");
        const RunResult r = Run(args);
        EXPECT_EQ(r.status, c.status) << args.front() << r.err;
        for (const auto& [texts, got] : {std::pair{c.out, r.out}, std::pair{c.err, r.err}})
            for (const std::string& text : texts)
                EXPECT_EQ(got.find(text[0] == '!' ? text.substr(1) : text) == std::string::npos,
                          text[0] == '!')
                    << text << "\n"
                    << got;
        const auto asked = rdap.Requests();
        EXPECT_EQ(
            std::count_if(asked.begin(), asked.end(), [](auto& q) { return q.target == kPath; }),
            long(c.fetches))
            << r.err;
    }
}

// A registrar whose RDAP fetch fails is a failed server under the registry's hit; a server
// that stays silent is given up after the settings' TIMEOUT, as in the window.
TEST_F(CliRdapTest, RegistrarFailureAndTimeOutAsEveryFailedServer) {
    REQUIRE_SANDBOX();
    HttpReply silent = Reply(kRecord);
    silent.silentAfterHeaders = true;
    struct Row {
        HttpReply registry, registrar;
        int status;
        std::string err, kind;
    } rows[] = {
        {Reply(kRecord), Reply("{}", 502), 0,
         "zwhois: " + kRar + ": RDAP server 127.0.0.2:8080: HTTP 502\n", "http-status"},
        {silent, Reply("{}"), 2, "zwhois: " + kUrl + ": RDAP server 127.0.0.2:8080: time-out\n",
         "timeout"},
    };
    WriteFile("zindor-whois.ini", "TIMEOUT=1\r\n");
    for (const Row& row : rows) {
        FakeHttpServer rdap(
            "127.0.0.2", 8080,
            Sequence({{kPath, {row.registry}}, {"/rar/domain/x", {row.registrar}}}));
        const auto start = std::chrono::steady_clock::now();
        const RunResult r = Run({"--rdap", "--json", "example.ltd"});
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << row.kind; // not 21 s
        EXPECT_EQ(r.status, row.status) << row.kind;
        EXPECT_EQ(r.err, row.err);
        const Json json = ParseJson(r.out);
        ASSERT_FALSE(json.is_discarded()) << r.out;
        ASSERT_EQ(json["failures"].size(), 1u) << r.out;
        EXPECT_EQ(json["failures"][0]["kind"].get<std::string>(), row.kind);
    }
}

// Where libcurl cannot be loaded, RDAP says so once, with the loader's reason; WHOIS goes on.
TEST_F(CliRdapTest, WithoutLibcurlRdapSaysSoAndWhoisGoesOn) {
    REQUIRE_SANDBOX();
    FakeServer registry(sb::kWhoisAAddr, 43, FakeServer::Answer(Answer("Domain Name: X.LTD")));
    std::filesystem::create_directory(home_.file("lib"));
    WriteFile("lib/libcurl.so.4", "not a library");
    RunOptions broken;
    broken.wrapper = {"env", "LD_LIBRARY_PATH=" + home_.file("lib")};
    for (const auto& args : {std::vector<std::string>{"x.ltd"}, {"--rdap", "x.ltd"}}) {
        const RunResult r = Run(args, broken);
        const std::string said = "libcurl (libcurl.so.4, Debian package libcurl4) is missing, so "
                                 "RDAP cannot be asked: " +
                                 home_.file("lib/libcurl.so.4: file too short");
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("libcurl ("), r.err.rfind("libcurl (")) << r.err; // once
    }
    EXPECT_EQ(Run({"-h", sb::kWhoisA, "x.ltd"}, broken).status, 0);
}

// When RDAP is asked after port 43, and the registered name after a name's no-match, on
// port 43 and over RDAP alike (github.io, a private suffix, is registered at .io's registry).
TEST_F(CliRdapTest, WhenRdapIsAskedAndTheRegisteredNameRetry) {
    REQUIRE_SANDBOX();
    WriteFile("rdap/dns.json", R"({"services":[[["ltd","io"],[")" + kRdap + R"("]]]})");
    WriteFile("rdap/ipv4.json", R"({"services":[[["198.18.0.0/15"],[")" + kRdap + R"("]]]})");
    const std::string a = sb::kWhoisA, www = "/domain/www.example.ltd ", gh = "/domain/github.io ";
    struct Row {
        std::string serverWis, arg, query, whoisAsked, rdapAsked;
        bool found;
        int status;
        std::string out; // must show; "!": must not
    } rows[] = {
        // clang-format off
        {a + ",-,ltd", "", "example.ltd", "example.ltd ", "", true, 1, "No match!!"},
        {a + ",+", "--no-sweep", "198.18.0.1", "198.18.0.1 ", "/ip/198.18.0.1 ", true, 0, "REG-7"},
        {a + ",-,io", "", "foo.github.io", "foo.github.io github.io ", "", true, 0, "Name: X"},
        {"", "--rdap", "foo.github.io", "", "/domain/foo.github.io " + gh, true, 0, "!rdap "},
        {"", "--rdap", "www.example.ltd", "", www + kPath + " ", true, 0, "!rdap "},
        {"", "--rdap", "www.example.ltd", "", www + kPath + " ", false, 1, "\n\nrdap " + kUrl},
        {"", "--rdap", "example.ltd", "", kPath + " ", false, 1, "!rdap "},
        // clang-format on
    };
    for (const Row& row : rows) {
        WriteFile("Server.wis", row.serverWis + "\r\n");
        FakeServer whois(sb::kWhoisAAddr, 43,
                         FakeServer::AnswerByQuery({{"github.io", Answer("Domain Name: X")}},
                                                   Answer("No match!!")));
        const HttpReply found = Reply(R"({"objectClassName":"domain","handle":"REG-7"})");
        FakeHttpServer rdap("127.0.0.2", 8080, [&](const testsupport::HttpRequest& q) {
            const bool held =
                q.target == kPath || q.target + " " == gh || q.target[1] == 'i'; // ip/
            return held && row.found ? found : FakeHttpServer::NotFound();
        });
        const RunResult r = Run(row.arg.empty() ? Strings{row.query} : Strings{row.arg, row.query});
        EXPECT_EQ(r.status, row.status) << row.query << "\n" << r.out << r.err;
        EXPECT_EQ(r.out.find(row.out.substr(row.out[0] == '!')) == std::string::npos,
                  row.out[0] == '!')
            << row.query << "\n"
            << r.out;
        std::string whoisAsked, rdapAsked;
        for (const std::string& q : whois.Received())
            whoisAsked += q.substr(0, q.find('\r')) + " ";
        for (const auto& request : rdap.Requests())
            rdapAsked += request.target + " ";
        EXPECT_EQ(whoisAsked, row.whoisAsked) << row.query;
        EXPECT_EQ(rdapAsked, row.rdapAsked) << row.query;
    }
}

TEST_F(CliRdapTest, HttpsTrustsTheSystemsCaStore) {
    REQUIRE_SANDBOX();
    // A self-signed certificate for 127.0.0.2 made here; openssl serves the record with it.
    SecureFront tls("127.0.0.2");
    ASSERT_TRUE(tls.Ready());
    tls.Put(kPath, Reply(kRecord));
    WriteFile("rdap/dns.json", R"({"services":[[["ltd"],["https://127.0.0.2:8443/"]]]})");
    const RunResult untrusted = Run({"--rdap", "example.ltd"});
    EXPECT_EQ(untrusted.status, 2);
    EXPECT_NE(untrusted.err.find("TLS"), std::string::npos) << untrusted.err;
    // The namespace's CA store: the test's CA bound over the system's bundle.
    const char* bundle = "/etc/ssl/certs/ca-certificates.crt";
    ASSERT_EQ(::mount(tls.CaFile().c_str(), bundle, nullptr, MS_BIND, nullptr), 0);
    const RunResult trusted = Run({"--rdap", "example.ltd"});
    ::umount(bundle);
    EXPECT_EQ(trusted.status, 0) << trusted.err;
    EXPECT_NE(trusted.out.find("D7-LTD"), std::string::npos) << trusted.out;
}

} // namespace
} // namespace clitest
