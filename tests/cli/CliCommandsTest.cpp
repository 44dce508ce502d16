// zwhois's usage errors and its other commands (lookup, SMTP EXPN, ping and trace).
#include "tests/cli/CliFixture.h"
#include "tests/support/HopNetwork.h"

#include <future>

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
        {{"-h", "", "a.test"}, "server '': empty"},
        {{"-h", " ", "a.test"}, "server ' ': empty"},
        {{"-h", h, std::string(250, 'a') + ".test"}, "at most 253 bytes, this one 255"},
        {{"-h", h, "x." + std::string(64, 'a') + ".test"},
         "a label of a domain name holds at most 63 bytes, label 2 64"},
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
        {{"-4", "-6", "a.test"}, "-4 and -6 exclude each other"},
        {{"-6", "-h", "127.0.0.36", "a.test"}, "-6 cannot reach the IPv4 address '127.0.0.36'"},
        {{"-4", "--ping", "fe80::1%lo"}, "-4 cannot reach the IPv6 address 'fe80::1%lo'"},
        {{"--trace", "a.test", "-m", "0"}, "bad hop count '0' (1 to 255)"},
        {{"--trace", "a.test", "--max-hops", "256"}, "bad hop count '256'"},
        {{"--ping", "a.test", "-m", "3"}, "-m belongs to --trace"},
        {{"--ping", "a.test", "-z"}, "-z and --as-server belong to --trace"},
        {{"--ping", "0.0.0.0"}, "host '0.0.0.0': the unspecified address names no host"},
        {{"--trace", "0:0::0%lo"}, "host '0:0::0%lo': the unspecified address"},
        {{"--as-server=as.test", "a.test"}, "-z and --as-server belong to --trace"},
        {{"--trace", "a.test", "--as-server", " "}, "AS server ' ': empty"},
        {{"-P", "0", "-"}, "bad value '0' for -P (1 to 64)"},
        {{"-P65", "-"}, "bad value '65' for -P"},
        {{"--pace", "600001", "a.test"}, "bad value '600001' for --pace (0 to 600000 ms)"},
        {{"--max-wait=-1", "a.test"}, "bad value '-1' for --max-wait (0 to 3600 s)"},
        {{"--lookup", "a.test", "-P", "2"}, "-P, --pace and --max-wait belong to WHOIS queries"},
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
    EXPECT_NE(help.out.find("servers (default 4)\n"), std::string::npos); // as CliOptions has them
    EXPECT_NE(help.out.find("rest (default 60)\n"), std::string::npos);
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
    EXPECT_EQ(missing.err, "zwhois: nowhere.invalid: not found\n");

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

    // Failures in the words of WHOIS's.
    for (const auto& [host, words] : {std::pair{sb::kRefused, ": connection refused\n"},
                                      std::pair{sb::kUnknown, ": unknown host\n"}}) {
        const RunResult failed = Run({"--expn", std::string("someone@") + host});
        EXPECT_EQ(failed.status, 2) << host;
        EXPECT_EQ(failed.out, "");
        EXPECT_EQ(failed.err, "zwhois: " + std::string(host) + words);
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
    auto rows = Lines(ping.out);
    ASSERT_EQ(rows.size(), 7u) << ping.out;
    // ping's statistics close the rows.
    EXPECT_EQ(std::vector<std::string>(rows.begin() + 3, rows.end() - 1),
              (std::vector<std::string>{"", "--- 127.0.0.1 ping statistics ---",
                                        "3 packets transmitted, 3 received, 0% packet loss"}));
    EXPECT_EQ(rows.back().rfind("rtt min/avg/max/mdev = 0/0.", 0), 0u) << rows.back();
    rows.resize(3);
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
             {"--trace", "127.0.0.1", "-W", "600", "-m", "1"},
             {"--trace", "127.0.0.1", "--max-hops", "255"}})
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

// Ctrl-C ends a ping series with its statistics, as ping's, and status 130; --json gives them
// as one object.
TEST_F(CliTest, PingStatisticsOnCtrlC) {
    REQUIRE_SANDBOX();
    for (const bool json : {false, true}) {
        RunOptions options;
        const auto start = std::chrono::steady_clock::now();
        options.interruptWhen = [start] {
            return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(700);
        };
        std::vector<std::string> args{"--ping", "127.0.0.1", "-c", "100", "-i", "200"};
        if (json)
            args.push_back("--json");
        const RunResult r = Run(args, options);
        EXPECT_EQ(r.status, 130) << r.err;
        const auto lines = Lines(r.out);
        ASSERT_GE(lines.size(), 2u) << r.out;
        const size_t echoes = json ? lines.size() - 1 : lines.size() - 4;
        EXPECT_GE(echoes, 2u) << r.out;
        EXPECT_LT(echoes, 100u) << r.out;
        if (json) {
            const Json summary = ParseJson(lines.back());
            EXPECT_EQ(summary["transmitted"], echoes) << r.out;
            EXPECT_EQ(summary["received"], echoes);
            EXPECT_EQ(summary["loss"], 0);
            EXPECT_EQ(summary["min"], 0);
        } else {
            const std::string n = std::to_string(echoes);
            EXPECT_EQ(lines[echoes + 2],
                      n + " packets transmitted, " + n + " received, 0% packet loss");
        }
    }
}

// Eight pings at once over raw sockets, half of them to hosts that never answer: every dead
// one ends without a reply, every live one gets its own three.
TEST_F(CliTest, EightPingsAtOnceTakeOnlyTheirOwnReplies) {
    REQUIRE_SANDBOX();
    testsupport::HopNetworkOptions options;
    options.routers = 1;
    options.targetIgnoresEchoes = true;
    testsupport::HopNetwork net{options};
    ASSERT_TRUE(net.Ok()) << net.Error();
    const auto& cases = testsupport::kEightPingTargets;
    std::vector<std::future<RunResult>> runs;
    for (const auto& c : cases)
        runs.push_back(std::async(std::launch::async, [this, &c] {
            return Run({"--ping", c.address, "-c", "3", "-i", "0", "-W", "1"});
        }));
    for (size_t k = 0; k < runs.size(); ++k) {
        const RunResult r = runs[k].get();
        auto rows = Lines(r.out);
        EXPECT_EQ(r.status, cases[k].live ? 0 : 1) << cases[k].address << r.err;
        ASSERT_EQ(rows.size(), cases[k].live ? 7u : 6u) << cases[k].address << r.out;
        EXPECT_EQ(rows[5], cases[k].live ? "3 packets transmitted, 3 received, 0% packet loss"
                                         : "3 packets transmitted, 0 received, 100% packet loss");
        rows.resize(3);
        for (const std::string& row : rows) {
            EXPECT_NE(row.find(cases[k].address), std::string::npos) << row;
            EXPECT_EQ(row.find("     ?  ") == std::string::npos, cases[k].live) << row;
        }
    }
    // A trace to the silent target stops at 30 hops unless told otherwise.
    for (const auto& [args, rows] : std::vector<std::pair<std::vector<std::string>, size_t>>{
             {{"--trace", "198.18.1.2", "-W", "0"}, 30},
             {{"--trace", "198.18.1.2", "-W", "0", "-m", "31"}, 31}}) {
        const RunResult trace = Run(args);
        EXPECT_EQ(trace.status, 1) << trace.err;
        EXPECT_EQ(Lines(trace.out).size(), rows) << trace.out;
    }
    // Its JSON rows are records: null where nothing is known, the status by name.
    const auto json = Lines(Run({"--trace", "198.18.1.2", "-W", "0", "-m", "2", "--json"}).out);
    ASSERT_EQ(json.size(), 2u);
    Json router = ParseJson(json[0]);
    EXPECT_GE(router["time"].get<double>(), 0.0);
    router.erase("time");
    EXPECT_EQ(router, Json::parse(R"({"hop":1,"address":"198.18.0.2","name":null,
        "status":"time-exceeded","reached":false})"));
    EXPECT_EQ(ParseJson(json[1]), Json::parse(R"({"hop":2,"time":null,"address":null,
        "name":null,"status":"time-out","reached":false})"));
}

// A link-local address keeps its zone from the text to the socket and into the rows, as root
// and as an ordinary user; an echo that cannot be sent says why and fails.
TEST_F(CliTest, ZonesReachTheSocketAndFailedEchoesSayWhy) {
    REQUIRE_SANDBOX();
    // Before any route exists here: no route to this address: the send fails, which is no time-out.
    const RunResult failed = Run({"--ping", "198.19.255.1", "-c", "2", "-i", "0"});
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(Lines(failed.out).size(), 5u) << failed.out;
    EXPECT_EQ(Lines(failed.err),
              (std::vector<std::string>{
                  "zwhois: echo 1 to 198.19.255.1 could not be sent: network unreachable",
                  "zwhois: echo 2 to 198.19.255.1 could not be sent: network unreachable"}));
    const RunResult unsent = Run({"--trace", "198.19.255.1"});
    EXPECT_EQ(unsent.status, 2);
    EXPECT_EQ(Lines(unsent.out), std::vector<std::string>{"  1     ...  - NoResponse -   (Error)"});
    EXPECT_EQ(Lines(unsent.err),
              (std::vector<std::string>{"trace to 198.19.255.1 (198.19.255.1), 30 hops max",
                                        "zwhois: hop 1 to 198.19.255.1 could not be sent: network "
                                        "unreachable"}));

    testsupport::HopNetworkOptions options;
    options.routers = 1;
    testsupport::HopNetwork net{options};
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_EQ(net.RunIn(1, "ip -6 addr add fe80::2/64 dev zwr0 nodad"), 0);
    // The link's own link-local address comes a moment after the link is up.
    ASSERT_EQ(testsupport::RunShell("for i in $(seq 100); do ip -6 addr show dev zwl0 scope link "
                                    "| grep -q fe80 && exit 0; sleep 0.02; done; exit 1"),
              0);
    ASSERT_EQ(testsupport::RunShell("sysctl -qw net.ipv4.ping_group_range='0 2147483647'"), 0);
    RunOptions noRaw;
    noRaw.wrapper = {"setpriv", "--bounding-set=-net_raw", "--inh-caps=-net_raw"};
    for (const RunOptions& as : {RunOptions{}, noRaw}) {
        const RunResult ping = Run({"--ping", "fe80::2%zwl0", "-c", "1", "-W", "2"}, as);
        EXPECT_EQ(ping.status, 0) << ping.err;
        EXPECT_NE(ping.out.find("fe80::2%zwl0"), std::string::npos) << ping.out;
        const RunResult trace = Run({"--trace", "fe80::2%zwl0", "-W", "2"}, as);
        EXPECT_EQ(trace.status, 0) << trace.err;
        EXPECT_EQ(Lines(trace.out).size(), 1u) << trace.out;
    }
    // A name whose only address is link-local has no zone to take: none is made up.
    const RunResult lookup = Run({"--lookup", sb::kLinkLocal});
    EXPECT_EQ(lookup.out, std::string("Name:    ") + sb::kLinkLocal + "\nAddress: fe80::9\n");
    const RunResult unzoned = Run({"--ping", sb::kLinkLocal, "-c", "1", "-W", "1"});
    EXPECT_NE(unzoned.out.find("fe80::9 "), std::string::npos) << unzoned.out;
    const std::string row = Lines(unzoned.out).at(0) + unzoned.err;
    EXPECT_EQ(row.find('%'), std::string::npos) << unzoned.out;

    // WHOIS to a link-local server on this end of the link.
    ASSERT_EQ(testsupport::RunShell("ip -6 addr add fe80::43/64 dev zwl0 nodad"), 0);
    FakeServer any("::", 43, FakeServer::Answer(Answer("Domain Name: ZONE.TEST")));
    const RunResult whois = Run({"-h", "fe80::43%zwl0", "zone.test"});
    EXPECT_EQ(whois.status, 0) << whois.err;
    EXPECT_NE(whois.out.find("Domain Name: ZONE.TEST"), std::string::npos) << whois.out;
}

} // namespace
} // namespace clitest
