// zwhois --trace -z: each hop's owner from a fake IP-to-AS service in the test's namespaces.
#include "tests/cli/CliFixture.h"
#include "tests/rdap/Helpers.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/HopNetwork.h"

namespace clitest {
namespace {

// Answers each address of a bulk request with AS 64500 + its third byte and "NET-" that byte,
// after `delay`.
FakeServer::Script AsService(std::chrono::milliseconds delay = {}) {
    return [delay](const std::string& request) {
        testsupport::FakeReply reply;
        std::string answer = "Bulk mode; whois.test [2026-12-10]\n";
        for (const std::string& line : Lines(request)) {
            if (line.rfind("198.18.", 0) != 0)
                continue;
            const std::string third = line.substr(7, line.find('.', 7) - 7);
            answer += std::to_string(64500 + std::stoi(third)) + " | " + line +
                      " | 198.18.0.0/15 | JP | apnic | 2001-01-01 | NET-" + third + "\n";
        }
        reply.chunks = {std::string(), answer};
        reply.gap = delay;
        return reply;
    };
}

TEST_F(CliTest, TraceOwnersFromTheAsServiceAndWithoutIt) {
    REQUIRE_SANDBOX();
    testsupport::HopNetwork net{testsupport::HopNetworkOptions{}};
    ASSERT_TRUE(net.Ok()) << net.Error();
    FakeServer::Options bulk;
    bulk.requestEnd = "end\n";
    FakeServer service("127.0.0.1", 43, AsService(), bulk);
    ASSERT_TRUE(service.Listening()) << service.Error();

    const RunResult text = Run({"--trace", "198.18.2.2", "-z", "--as-server", "127.0.0.1"});
    EXPECT_EQ(text.status, 0) << text.err;
    const auto rows = Lines(text.out);
    ASSERT_EQ(rows.size(), 3u) << text.out;
    EXPECT_NE(rows[0].find("198.18.0.2       ....  [AS64500 NET-0]"), std::string::npos) << rows[0];
    EXPECT_NE(rows[1].find("198.18.1.2       ....  [AS64501 NET-1]"), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find("198.18.2.2       target.hop.test  [AS64502 NET-2]"), std::string::npos)
        << rows[2];
    EXPECT_EQ(text.err, "trace to 198.18.2.2 (198.18.2.2), 30 hops max\n"); // traceroute's header
    // Each address asked once, in the bulk form, however the connections fell.
    const std::string asked = service.AllReceived();
    for (const char* address : {"198.18.0.2\n", "198.18.1.2\n", "198.18.2.2\n"}) {
        const size_t at = asked.find(address);
        EXPECT_NE(at, std::string::npos) << asked;
        EXPECT_EQ(asked.find(address, at + 1), std::string::npos) << asked;
    }
    EXPECT_EQ(asked.rfind("begin\nverbose\n", 0), 0u) << asked;
    // The settings file names the service where the command line does not.
    WriteFile("zindor-whois.ini", "ASSERVER=127.0.0.1\r\n");
    const RunResult fromSettings = Run({"--trace", "198.18.2.2", "-z", "-m", "1"});
    EXPECT_NE(fromSettings.out.find("[AS64500 NET-0]"), std::string::npos) << fromSettings.err;
    // A slow service: the first hop's exchange, then one for all the rest once the trace ends.
    FakeServer slow(sb::kWhoisBAddr, 43, AsService(std::chrono::milliseconds(300)), bulk);
    EXPECT_EQ(Run({"--trace", "198.18.2.2", "-z", "--as-server", sb::kWhoisBAddr}).status, 0);
    EXPECT_EQ(slow.Received(),
              (std::vector<std::string>{"begin\nverbose\n198.18.0.2\nend\n",
                                        "begin\nverbose\n198.18.1.2\n198.18.2.2\nend\n"}));

    const RunResult json =
        Run({"--trace", "198.18.2.2", "--owners", "--json", "-m", "1", "--as-server", "127.0.0.1"});
    const Json row = ParseJson(Lines(json.out).at(0));
    EXPECT_EQ(row["owner"], Json::parse(R"({"as":64500,"name":"NET-0","prefix":"198.18.0.0/15",
        "country":"JP","registry":"apnic","source":"as-service"})"))
        << json.out;

    // Without -z nobody is asked; loopback belongs to nobody outside: private, never sent.
    const int before = service.Connections();
    const RunResult plain = Run({"--trace", "198.18.2.2", "--json"});
    EXPECT_EQ(ParseJson(Lines(plain.out).at(0)).count("owner"), 0u) << plain.out;
    const RunResult local =
        Run({"--trace", "127.0.0.1", "-z", "--json", "--as-server", "127.0.0.1"});
    EXPECT_EQ(ParseJson(local.out)["owner"], Json::parse(R"({"private":true})")) << local.out;
    EXPECT_EQ(service.Connections(), before);

    // A service that refuses, with RDAP off: the rows without owners, the reason said once.
    WriteFile("zindor-whois.ini", "RDAP=0\r\n");
    const RunResult refused = Run({"--trace", "198.18.2.2", "-z", "--as-server", "127.0.0.2"});
    EXPECT_EQ(refused.status, 0) << refused.err;
    EXPECT_EQ(Lines(refused.out).size(), 3u) << refused.out;
    EXPECT_EQ(refused.out.find('['), std::string::npos) << refused.out;
    EXPECT_EQ(Lines(refused.err),
              (std::vector<std::string>{
                  "trace to 198.18.2.2 (198.18.2.2), 30 hops max",
                  "zwhois: hop owners: the AS service 127.0.0.2: connection refused"}));
    const RunResult jsonRefused =
        Run({"--trace", "198.18.2.2", "-z", "--json", "-m", "1", "--as-server", "127.0.0.2"});
    EXPECT_TRUE(ParseJson(Lines(jsonRefused.out).at(0))["owner"].is_null()) << jsonRefused.out;

    // RDAP on: the network RDAP holds stands in; a hop it has no record of has no owner.
    WriteFile("zindor-whois.ini", "");
    std::filesystem::create_directory(home_.file("rdap"));
    WriteFile("rdap/ipv4.json", R"({"services":[[["198.18.0.0/15"],["http://127.0.0.2:8080/"]]]})");
    testsupport::FakeHttpServer rdap("127.0.0.2", 8080, [](const testsupport::HttpRequest& q) {
        return q.target == "/ip/198.18.0.2"
                   ? Reply(R"({"objectClassName":"ip network","name":"RDAP-NET","country":"JP",
                       "port43":"whois.test","cidr0_cidrs":[{"v4prefix":"198.18.0.0","length":24}],
                       "arin_originas0_originautnums":[64510]})")
                   : testsupport::FakeHttpServer::NotFound();
    });
    const auto byRdap = Run({"--trace", "198.18.1.2", "-z", "--json", "--as-server", "127.0.0.2"});
    const auto rows2 = Lines(byRdap.out);
    ASSERT_EQ(rows2.size(), 2u) << byRdap.out << byRdap.err;
    EXPECT_EQ(ParseJson(rows2[0])["owner"], Json::parse(R"({"as":64510,"name":"RDAP-NET",
        "prefix":"198.18.0.0/24","country":"JP","registry":"whois.test","source":"rdap"})"));
    EXPECT_TRUE(ParseJson(rows2[1])["owner"].is_null()) << rows2[1];
    EXPECT_EQ(byRdap.err.rfind("zwhois: hop owners: the AS service 127.0.0.2: connection refused; "
                               "RDAP: ",
                               0),
              0u)
        << byRdap.err;
    EXPECT_EQ(Lines(byRdap.err).size(), 1u) << byRdap.err;
}

// --whois after a trace asks through the same session as a plain query: the same server, the
// same answer, the same words where nothing serves the address.
TEST_F(CliTest, TraceWhoisAsksAsAPlainQueryDoes) {
    REQUIRE_SANDBOX();
    WriteFile("Servhit.key", "netname:\r\n");
    FakeServer registry(sb::kWhoisAAddr, 43, FakeServer::Answer(Answer("netname: LOOPBACK")));
    const RunResult traced = Run({"--trace", "127.0.0.1", "--whois", "-h", sb::kWhoisA});
    EXPECT_EQ(traced.status, 0) << traced.err;
    // The first row, whatever its time (a sanitizer's build is slower).
    EXPECT_EQ(traced.out.rfind("  1     ", 0), 0u) << traced.out;
    EXPECT_NE(traced.out.find("  127.0.0.1        localhost\n"), std::string::npos) << traced.out;
    EXPECT_NE(traced.out.find("netname: LOOPBACK"), std::string::npos) << traced.out;
    EXPECT_EQ(registry.Received(), std::vector<std::string>{"127.0.0.1\r\n"});

    const RunResult plain = Run({"127.0.0.1"});
    const RunResult nothing = Run({"--trace", "127.0.0.1", "--whois"});
    EXPECT_EQ(nothing.status, plain.status);
    // After the trace's header on stderr.
    EXPECT_EQ(nothing.err.substr(nothing.err.find('\n') + 1), plain.err);
    EXPECT_NE(plain.err, "");
}

} // namespace
} // namespace clitest
