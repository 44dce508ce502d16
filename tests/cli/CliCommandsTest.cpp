// zwhois's usage errors and its other commands (lookup, SMTP EXPN, ping and trace).
#include "tests/cli/CliFixture.h"
#include "tests/support/HopNetwork.h"

namespace clitest {
namespace {

TEST_F(CliTest, BadInputIsRefusedBeforeAnythingIsSent) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Answer("Domain Name: X")));
    const std::string h = sb::kWhoisA;
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{}, "no query given (see --help)"},
        {{"-h", h}, "no query given (see --help)"},
        {{"-h", h, ""}, "query '': empty"},
        {{"-h", h, "  "}, "query '  ': empty"},
        {{"-h", h, "a.test", "b\r\nc.test"},
         "query 'b\uFFFD\uFFFDc.test': holds a control character"},
        {{"-h", h, "tab\there.test"}, "query 'tab\uFFFDhere.test': holds a control character"},
        {{"-h", h, std::string(1025, 'a')}, "longer than 1024 bytes"},
        {{"-h", "bad\x7fserver", "a.test"}, "server 'bad\uFFFDserver': holds a control character"},
        {{"--frobnicate", "a.test"}, "unknown option --frobnicate"},
        {{"-x", "a.test"}, "unknown option -x"},
        {{"-h"}, "option -h needs a value"},
        {{"--rdap", "-h", h, "a.test"}, "-h names a port-43 server, --rdap asks RDAP only"},
        {{"-p", "0", "a.test"}, "bad port '0'"},
        {{"-p", "65536", "a.test"}, "bad port '65536'"},
        {{"-p", "43x", "a.test"}, "bad port '43x'"},
        {{"--encoding", "latin1", "a.test"}, "bad encoding 'latin1'"},
        {{"--lookup", "a.test", "--expn", "u@a.test"}, "only one of --lookup"},
        {{"--lookup", "a.test", "extra"}, "unexpected argument 'extra'"},
        {{"--expn", "nobody"}, "--expn needs USER@HOST"},
        {{"--expn", "@host.test"}, "--expn needs USER@HOST"},
        {{"--expn", "user@"}, "--expn needs USER@HOST"},
        {{"--ping", "a.test", "-c", "0"}, "bad count '0'"},
        {{"--ping", "a.test", "-i", "-5"}, "bad interval '-5'"},
        {{"--trace", "a.test", "-W", "601"}, "bad time-out '601'"},
        {{"-c", "3", "a.test"}, "-c and -i belong to --ping"},
        {{"--whois", "a.test"}, "--resolve and --whois belong to --trace"},
        {{"--trace", ""}, "host '': empty"},
    };
    for (const auto& c : cases) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("zwhois: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(a.Connections(), 0);
}

TEST_F(CliTest, OptionsAfterDoubleDashAreQueries) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Answer("Domain Name: X")));
    const RunResult r = Run({"-h", sb::kWhoisA, "--", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(a.Received(), std::vector<std::string>{"--json\r\n"});
}

TEST_F(CliTest, HelpAndVersion) {
    const RunResult help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: zwhois", 0), 0u);
    const RunResult version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("zwhois ", 0), 0u);
}

TEST_F(CliTest, LookupPrintsNameAliasesAndAddresses) {
    REQUIRE_SANDBOX();
    const RunResult r = Run({"--lookup", sb::kMulti});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), std::string("Name:    ") + sb::kMulti);
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has(std::string("Alias:   ") + sb::kMultiAlias1)) << r.out;
    EXPECT_TRUE(has(std::string("Address: ") + sb::kMultiAddr1)) << r.out;
    EXPECT_TRUE(has(std::string("Address: ") + sb::kMultiAddr2)) << r.out;

    const RunResult json = Run({"--json", "--lookup", sb::kWhoisAAddr});
    const Json parsed = ParseJson(json.out);
    ASSERT_FALSE(parsed.is_discarded()) << json.out;
    EXPECT_EQ(parsed["name"].get<std::string>(), sb::kWhoisA);
    EXPECT_EQ(parsed["addresses"].get<std::vector<std::string>>(),
              std::vector<std::string>{sb::kWhoisAAddr});

    const RunResult missing = Run({"--lookup", sb::kUnknown});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "zwhois: nowhere.invalid: Lookup Fail\n");

    // IPv6 addresses after the IPv4 ones; -4 and -6 keep one family.
    const struct {
        std::vector<std::string> args;
        int status;
        std::string addresses;
    } rows[] = {
        {{"--lookup", sb::kDual}, 0, "127.0.0.14,2001:db8::44"},
        {{"--lookup", sb::kV6Only}, 0, "2001:db8::43"},
        {{"-6", "--lookup", sb::kDual}, 0, "2001:db8::44"},
        {{"-4", "--lookup", sb::kDual}, 0, sb::kDualAddr4},
        {{"-4", "--lookup", sb::kV6Only}, 1, ""},
    };
    for (const auto& row : rows) {
        const RunResult r = Run(row.args);
        EXPECT_EQ(r.status, row.status) << row.args.back() << r.err;
        std::string addresses;
        for (const std::string& line : Lines(r.out))
            if (line.rfind("Address: ", 0) == 0)
                addresses += (addresses.empty() ? "" : ",") + line.substr(9);
        EXPECT_EQ(addresses, row.addresses) << row.args.back();
    }
}

TEST_F(CliTest, ExpnPrintsTheMailServersAnswer) {
    REQUIRE_SANDBOX();
    FakeServer::Options smtp;
    smtp.greeting = "220 smtp.a.test \x1b[2Jready\x07\r\n"; // shown, not obeyed
    smtp.requestEnd = "QUIT\r\n";
    FakeServer s(sb::kSmtpAAddr, 25,
                 FakeServer::Answer("250 Some One <someone@a.test>\r\n221 bye\r\n"), smtp);
    const RunResult r = Run({"--expn", std::string("someone@") + sb::kSmtpA});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "220 smtp.a.test \uFFFD[2Jready\uFFFD\n250 Some One <someone@a.test>\n221 bye\n");
    EXPECT_EQ(s.AllReceived(), "EXPN someone\r\nQUIT\r\n");

    for (const char* host : {sb::kRefused, sb::kUnknown}) {
        const RunResult failed = Run({"--expn", std::string("someone@") + host});
        EXPECT_EQ(failed.status, 2) << host;
        EXPECT_EQ(failed.out, "");
        EXPECT_NE(failed.err.find(host), std::string::npos) << failed.err;
    }
}

// A target that does not resolve sends nothing and says so.
TEST_F(CliTest, PingAndTraceOfAnUnknownHost) {
    REQUIRE_SANDBOX();
    for (const char* mode : {"--ping", "--trace"}) {
        const RunResult r = Run({mode, sb::kUnknown, "-W", "1"});
        EXPECT_EQ(r.status, 2) << mode;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "zwhois: nowhere.invalid: unknown host\n");
    }
}

// Rows of real echoes on the sandbox's loopback; without CAP_NET_RAW and with the datagram
// socket closed to every group (the namespace's default range), the user is told what to do.
TEST_F(CliTest, PingAndTraceRowsAndRefusedSockets) {
    REQUIRE_SANDBOX();
    const RunResult ping = Run({"--ping", "127.0.0.1", "-c", "3", "-i", "0"});
    EXPECT_EQ(ping.status, 0) << ping.err;
    const auto rows = Lines(ping.out);
    ASSERT_EQ(rows.size(), 3u) << ping.out;
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].rfind("  " + std::to_string(i + 1) + " ", 0), 0u) << rows[i];
        EXPECT_NE(rows[i].find("127.0.0.1"), std::string::npos) << rows[i];
    }
    const RunResult trace = Run({"--trace", "127.0.0.1"});
    EXPECT_EQ(trace.status, 0) << trace.err;
    ASSERT_EQ(Lines(trace.out).size(), 1u) << trace.out;
    EXPECT_NE(trace.out.find("127.0.0.1"), std::string::npos);

    // The top of each option's range is taken, not only the values beyond it refused.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--ping", "127.0.0.1", "-c", "100", "-i", "0", "-W", "600"},
             {"--ping", "127.0.0.1", "-c", "1", "-i", "32767"},
             {"--trace", "127.0.0.1", "-W", "600"}})
        EXPECT_EQ(Run(args).status, 0) << args[3];

    // Through routed namespaces, --resolve names the routers.
    testsupport::HopNetwork net{testsupport::HopNetworkOptions{}};
    ASSERT_TRUE(net.Ok()) << net.Error();
    const RunResult hops = Run({"--trace", "target.hop.test", "--resolve", "-W", "5"});
    EXPECT_EQ(hops.status, 0) << hops.err;
    EXPECT_NE(hops.out.find("198.18.0.2       r1.hop.test\n"), std::string::npos) << hops.out;
    EXPECT_NE(hops.out.find("198.18.1.2       r2.hop.test\n"), std::string::npos) << hops.out;

    RunOptions noRaw;
    noRaw.wrapper = {"setpriv", "--bounding-set=-net_raw", "--inh-caps=-net_raw"};
    for (const char* mode : {"--ping", "--trace"}) {
        const RunResult refused = Run({mode, "127.0.0.1"}, noRaw);
        EXPECT_EQ(refused.status, 2) << mode << refused.err;
        EXPECT_NE(refused.err.find("setcap cap_net_raw+ep"), std::string::npos) << refused.err;
    }
}

} // namespace
} // namespace clitest
