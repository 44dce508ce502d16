// The WHOIS chain of the real zwhois executable against fake servers in the test's own
// network namespace.
#include "tests/cli/CliFixture.h"

#include <chrono>
#include <filesystem>
#include <tuple>

using testsupport::FakeReply;

namespace clitest {
namespace {

using namespace std::chrono_literals;

const std::string kHitBody = "Domain Name: EXAMPLE.TEST\r\nRegistrant: Someone";
const std::string kNoMatch = "No match for the query.";

TEST_F(CliTest, HitAtTheFirstServer) {
    REQUIRE_SANDBOX();
    // The same chain on the standard port and on one given with -p.
    struct Case {
        uint16_t port;
        std::vector<std::string> extra;
    } cases[] = {{43, {}}, {4343, {"-p", "4343"}}, {4343, {"-p4343"}}, {65535, {"-p", "65535"}}};
    for (const auto& c : cases) {
        FakeServer a(sb::kWhoisAAddr, c.port, FakeServer::Answer(Answer(kHitBody)));
        ASSERT_TRUE(a.Listening()) << a.Error();
        std::vector<std::string> args = {"-h", sb::kWhoisA, "example.test"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const RunResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        // The first paragraph is left out, as the window shows it; lines end in LF.
        EXPECT_EQ(r.out, "Domain Name: EXAMPLE.TEST\nRegistrant: Someone\n");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(a.Received(), std::vector<std::string>{"example.test\r\n"});
    }
}

TEST_F(CliTest, RegistryReferralLeadsToTheRegistrar) {
    REQUIRE_SANDBOX();
    FakeServer registry(sb::kWhoisAAddr, 43,
                        FakeServer::Answer(Answer("Domain: example.test\r\nWhois Server: " +
                                                  std::string(sb::kWhoisB))));
    FakeServer registrar(sb::kWhoisBAddr, 43, FakeServer::Answer(Answer(kHitBody)));
    const RunResult r = Run({"--verbose", "-h", sb::kWhoisA, "example.test"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Domain Name: EXAMPLE.TEST\nRegistrant: Someone\n");
    // Each step's command line on standard error, in order.
    EXPECT_EQ(Lines(r.err), (std::vector<std::string>{"whois -h whois.a.test example.test",
                                                      "whois -h whois.b.test example.test"}));
    EXPECT_EQ(registrar.Received(), std::vector<std::string>{"example.test\r\n"});

    // Without recursion the registry's record of the name is the answer, and B is never asked.
    const RunResult off = Run({"--no-recursion", "-h", sb::kWhoisA, "example.test"});
    EXPECT_EQ(off.status, 0);
    EXPECT_NE(off.out.find("Whois Server: whois.b.test"), std::string::npos);
    EXPECT_EQ(registrar.Connections(), 1);
}

TEST_F(CliTest, ParentDomainIsRetriedAtTheSameServer) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43,
                 FakeServer::AnswerByQuery({{"example.test", Answer(kHitBody)}}, Answer(kNoMatch)));
    const RunResult r = Run({"--verbose", "-h", sb::kWhoisA, "www.sub.example.test"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(a.Received(), (std::vector<std::string>{"www.sub.example.test\r\n",
                                                      "sub.example.test\r\n", "example.test\r\n"}));
    EXPECT_EQ(Lines(r.err).size(), 3u);
}

TEST_F(CliTest, SweepAsksTheDirectorysServersInOrder) {
    REQUIRE_SANDBOX();
    WriteFile("Server.wis", std::string(sb::kWhoisA) + ",-,test\r\n" + sb::kWhoisC +
                                ",-,other\r\n" + sb::kWhoisB + ",-,test\r\n");
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Answer(kNoMatch)));
    FakeServer b(sb::kWhoisBAddr, 43, FakeServer::Answer(Answer(kHitBody)));
    FakeServer c(sb::kWhoisCAddr, 43, FakeServer::Answer(Answer(kHitBody)));

    // No -h: the directory's first server for the query comes first, then the sweep.
    const RunResult r = Run({"--json", "example.test"});
    EXPECT_EQ(r.status, 0) << r.err;
    const Json json = ParseJson(r.out);
    ASSERT_FALSE(json.is_discarded()) << r.out;
    EXPECT_EQ(json["servers"].get<std::vector<std::string>>(),
              (std::vector<std::string>{sb::kWhoisA, sb::kWhoisB}));
    EXPECT_EQ(json["server"].get<std::string>(), sb::kWhoisB);
    EXPECT_EQ(c.Connections(), 0); // serves another suffix

    // Without the sweep the first server's "no match" is the answer.
    const RunResult off = Run({"--no-sweep", "example.test"});
    EXPECT_EQ(off.status, 1);
    EXPECT_EQ(off.out, kNoMatch + "\n");
    EXPECT_EQ(off.err, "zwhois: example.test: no match\n");
    EXPECT_EQ(b.Connections(), 1);
}

TEST_F(CliTest, ChainWithoutAHitEndsOnTheRegistrysAnswerAndAsksNoPublicSuffix) {
    REQUIRE_SANDBOX();
    // B, the last resort, refers to A, the registry of .jp; the name's case does not matter.
    WriteFile("Server.wis", std::string(sb::kWhoisA) + ",-,jp\r\n" + sb::kWhoisB + ",-,*\r\n");
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Answer("No match!!")));
    FakeServer b(sb::kWhoisBAddr, 43, FakeServer::Answer(Answer("refer: whois.a.test")));
    const RunResult r = Run({"-h", sb::kWhoisB, "NonExist.CO.JP"});
    EXPECT_EQ(r.out.substr(0, 11), "No match!!\n");
    EXPECT_EQ(a.Received(), std::vector<std::string>{"NonExist.CO.JP\r\n"});
    EXPECT_EQ(b.Received(), std::vector<std::string>{"NonExist.CO.JP\r\n"});
}

// Server.wis as a Windows editor saves "Unicode" (UTF-16 with its mark), and a zero byte in
// a line of Servhit.key: the directory is read, the damaged line left out and named.
TEST_F(CliTest, FilesInOtherEncodingsAndDamagedLinesAreRead) {
    REQUIRE_SANDBOX();
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string(sb::kWhoisA) + ",-,jp\r\n")
        utf16 += {c, '\0'};
    WriteFile("Server.wis", utf16);
    WriteFile("Servhit.key", std::string("Registrant\0:\r\nDomain Name:\r\n", 28));
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Answer("Domain Name: X.JP")));
    const RunResult r = Run({"x.jp"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "zwhois: " + home_.file("Servhit.key") + ": line 1 holds a zero byte; skipped\n");
    EXPECT_EQ(a.Received(), std::vector<std::string>{"x.jp\r\n"});
}

TEST_F(CliTest, NoServerForTheQueryIsAnError) {
    REQUIRE_SANDBOX();
    WriteFile("Server.wis", std::string(sb::kWhoisA) + ",-,jp\r\n");
    const RunResult r = Run({"example.test"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no server in Server.wis serves example.test"), std::string::npos);
}

// The executable alone, no shipped files beside it: a file found nowhere is named with the
// folders looked in; without Servhit.key nothing is asked.
TEST_F(CliTest, FilesFoundNowhereAreNamedAndNoHitPhrasesRefuseTheQuery) {
    testutil::TempDir alone;
    std::filesystem::copy_file(ZW_CLI_EXECUTABLE, alone.file("zwhois"));
    const std::string where = " not found in " + home_.path() + "/ nor in " + alone.path() + "/";
    const std::string noServers = "zwhois: Server.wis" + where + "; no server is known\n";
    const std::string noKeys =
        "zwhois: Servhit.key" + where + "; without it no answer can be judged\n";
    // Server.wis and Servhit.key kept in the home folder; stderr's beginning (status 2 each).
    const std::tuple<bool, bool, std::string> rows[] = {
        {true, false, noKeys},
        {false, true, noServers + "zwhois: no server in Server.wis serves example.test"},
        {false, false, noServers + noKeys}};
    for (const auto& [servers, keys, said] : rows) {
        for (const auto& [name, kept] :
             {std::pair{"Server.wis", servers}, std::pair{"Servhit.key", keys}})
            kept ? WriteFile(name, "") : void(std::filesystem::remove(home_.file(name)));
        RunOptions options;
        options.wrapper = {"sh", "-c", "exec " + alone.file("zwhois") + " \"$@\""};
        const RunResult r = Run({"example.test"}, options);
        EXPECT_EQ(r.status, 2) << said;
        EXPECT_EQ(r.err.substr(0, said.size()), said);
    }
}

TEST_F(CliTest, FailedServersExitWithTwoAndSayWhy) {
    REQUIRE_SANDBOX();
    struct Case {
        const char* server;
        const char* reason;
    } cases[] = {
        {sb::kUnknown, "nowhere.invalid: unknown host"},
        {sb::kRefused, "refused.a.test: connection refused"},
    };
    for (const auto& c : cases) {
        const RunResult r = Run({"-h", c.server, "example.test"});
        EXPECT_EQ(r.status, 2) << c.server;
        EXPECT_EQ(r.out, "");
        ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    }
}

TEST_F(CliTest, ExitStatusIsTheWorstOfSeveralQueries) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43,
                 FakeServer::AnswerByQuery({{"found.test", Answer(kHitBody)}}, Answer(kNoMatch)));
    EXPECT_EQ(Run({"-h", sb::kWhoisA, "found.test", "found.test"}).status, 0);
    const RunResult mixed = Run({"-h", sb::kWhoisA, "found.test", "missing.test"});
    EXPECT_EQ(mixed.status, 1);
    // Each answer in the order asked, a blank line between them.
    EXPECT_EQ(mixed.out, "Domain Name: EXAMPLE.TEST\nRegistrant: Someone\n\n" + kNoMatch + "\n");
}

TEST_F(CliTest, JapaneseAnswersArePrintedAsUtf8) {
    REQUIRE_SANDBOX();
    const std::string utf8 = "ドメイン情報";
    const std::string jis = "\x1b$B%I%a%$%s>pJs\x1b(B";
    // "あい" in EUC-JP: no Shift-JIS lead byte in it, so the automatic choice finds EUC.
    const std::string aiUtf8 = "あい";
    const std::string aiEuc = "\xa4\xa2\xa4\xa4";
    struct Case {
        std::string answer, settings;
        std::vector<std::string> options;
        std::string expect;
        bool converted;
    } cases[] = {
        {jis, "", {}, utf8, true},
        {aiEuc, "", {}, aiUtf8, true},
        {aiEuc, "", {"--encoding", "euc"}, aiUtf8, true},
        {jis, "", {"--encoding", "jis"}, utf8, true},
        // The window's setting is the default; Shift-JIS reads EUC bytes as other text.
        {aiEuc, "CODEINDES=2\r\n", {}, aiUtf8, false},
        {aiEuc, "CODEINDES=2\r\n", {"--encoding=auto"}, aiUtf8, true},
        {utf8, "", {"--encoding", "utf-8"}, utf8, true},
    };
    for (const auto& c : cases) {
        WriteFile("zindor-whois.ini", c.settings);
        FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Answer("(" + c.answer + ")")));
        std::vector<std::string> args = {"-h", sb::kWhoisA, "example.jp"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const RunResult r = Run(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.out == "(" + c.expect + ")\n", c.converted) << r.out;
    }
}

TEST_F(CliTest, JsonReadsBackWithEveryField) {
    REQUIRE_SANDBOX();
    const std::string tricky = "Note: \"quoted\" \\ back\tslash";
    FakeServer a(sb::kWhoisAAddr, 43,
                 FakeServer::AnswerByQuery({{"found.test", Answer(kHitBody + "\r\n" + tricky)}},
                                           Answer(kNoMatch)));
    const RunResult r = Run({"--json", "-h", sb::kWhoisA, "found.test", "missing.test"});
    EXPECT_EQ(r.status, 1);
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    const Json hit = ParseJson(lines[0]);
    const Json miss = ParseJson(lines[1]);
    ASSERT_FALSE(hit.is_discarded() || miss.is_discarded()) << r.out;
    EXPECT_EQ(hit["query"].get<std::string>(), "found.test");
    EXPECT_EQ(hit["servers"].get<std::vector<std::string>>(),
              std::vector<std::string>{sb::kWhoisA});
    EXPECT_EQ(hit["verdict"].get<std::string>(), "hit");
    EXPECT_EQ(hit["server"].get<std::string>(), sb::kWhoisA);
    EXPECT_EQ(hit["text"].get<std::string>(),
              "Domain Name: EXAMPLE.TEST\nRegistrant: Someone\n" + tricky);
    EXPECT_EQ(miss["verdict"].get<std::string>(), "no match");
    EXPECT_EQ(miss["text"].get<std::string>(), kNoMatch);

    const RunResult failed = Run({"--json", "-h", sb::kRefused, "found.test"});
    EXPECT_EQ(failed.status, 2);
    const Json error = ParseJson(failed.out);
    ASSERT_FALSE(error.is_discarded()) << failed.out;
    EXPECT_EQ(error["verdict"].get<std::string>(), "error");
    EXPECT_EQ(error["error"].get<std::string>(), "refused.a.test: connection refused");
    EXPECT_EQ(error["failures"][0]["kind"].get<std::string>(), "refused");
}

TEST_F(CliTest, InvalidUtf8InAnAnswerStillGivesValidJson) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43,
                 FakeServer::Answer(Answer("bad \xff\xfe bytes \x01 \xC2\x9B!")));
    const RunResult r = Run({"--json", "--encoding", "utf-8", "-h", sb::kWhoisA, "x.test"});
    const Json json = ParseJson(r.out);
    ASSERT_FALSE(json.is_discarded()) << r.out;
    EXPECT_EQ(json["text"].get<std::string>().substr(0, 4), "bad ");
    EXPECT_NE(r.out.find("\\u009b!"), std::string::npos) << r.out; // escaped, not replaced
}

TEST_F(CliTest, QueriesFromStandardInput) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Answer(kHitBody)));
    RunOptions in;
    in.input = "one.test\r\n\r\n  two.test  \nthree.test";
    const RunResult r = Run({"-h", sb::kWhoisA, "first.test", "-"}, in);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(a.Received(), (std::vector<std::string>{"first.test\r\n", "one.test\r\n",
                                                      "two.test\r\n", "three.test\r\n"}));

    // A bad line anywhere refuses the whole input before anything is sent.
    in.input = "ok.test\nbad\x01query\n";
    const RunResult bad = Run({"-h", sb::kWhoisA, "-"}, in);
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "zwhois: standard input, query 2: holds a control character\n");
    in.input = "ok.test\n" + std::string(254, 'a') + "\n" + std::string(64, 'a') + ".test\n";
    EXPECT_EQ(Run({"-h", sb::kWhoisA, "-"}, in).err,
              "zwhois: standard input, query 3: a label of a domain name holds at most 63 "
              "bytes, label 1 64\n");
    in.input = "\n \n";
    EXPECT_EQ(Run({"-h", sb::kWhoisA, "-"}, in).status, 2);
    EXPECT_EQ(a.Connections(), 4);
}

// Hostile bytes and failing servers, as the user meets them: what is printed, the exit
// status and what each server was asked (nothing listens on B).
TEST_F(CliTest, HostileAndFailingServersAsTheUserSeesThem) {
    REQUIRE_SANDBOX();
    const std::string a = sb::kWhoisA, x = "\uFFFD";
    const std::string refused = "whois.b.test: connection refused";
    const std::string unknown = "zwhois: nowhere.invalid: unknown host\n";
    const std::string noMatch = "No match for x.test.", referral = "Whois Server: whois.b.test";
    // C0, DEL and C1 controls are shown, not obeyed; TAB and LF stay.
    const auto controls = FakeServer::Answer(
        Answer("Domain Name: X.TEST\x1b]0;owned\x07\r\nNote: \x1b[2Jgone\x08\x7f \xC2\x9B[m\tend"));
    const std::string shown = "Domain Name: X.TEST" + x + "]0;owned" + x + "\nNote: " + x +
                              "[2Jgone" + x + x + " " + x + "[m\tend\n";
    const auto toB = FakeServer::Answer(Answer("Registrar: R\r\n" + referral));
    const std::string keptThenFailed = "Registrar: R\n" + referral + "\n\nNo answer from " +
                                       refused + "\nServers asked: " + a + ", whois.b.test (" +
                                       refused.substr(14) + ")\n";
    const std::string json =
        R"j({"query":"x.test","servers":["whois.a.test","whois.b.test"],"steps":[{"protocol":)j"
        R"j("whois","server":"whois.a.test","query":"x.test","verdict":"referral"},{"protocol":)j"
        R"j("whois","server":"whois.b.test","query":"x.test","verdict":"failed"}],)j"
        R"j("verdict":"error",)j"
        R"j("server":"whois.a.test","text":"Registrar: R\nWhois Server: whois.b.test\n\nNo )j"
        R"j(answer from whois.b.test: connection refused\nServers asked: whois.a.test, )j"
        R"j(whois.b.test (connection refused)","failures":[{"server":"whois.b.test","kind":)j"
        R"j("refused","reason":"connection refused"}],"error":"whois.b.test: connection refused",)j"
        R"j("record":null})j"
        "\n";
    const FakeServer::Script failThenMiss = [&](const std::string& r) {
        return r == "fail.test\r\n" ? FakeReply{} : FakeReply{{Answer(noMatch)}};
    };
    const std::vector<std::string> one = {"x.test\r\n"};
    const auto badReferral = FakeServer::Answer(Answer(noMatch + "\r\n" + referral + "\x1b[2J"));
    const std::string unknownThenMiss =
        noMatch + "\n\nServers asked: nowhere.invalid (unknown host), " + a + "\n";
    struct Row {
        FakeServer::Script answerA;
        std::vector<std::string> args;
        int status;
        std::string out, err;
        std::vector<std::string> asksA;
    } rows[] = {
        // clang-format off
        {controls, {"-h", a, "x.test"}, 0, shown, "", one},
        // Bidirectional controls could make one name pass for another; a dash stays.
        {FakeServer::Answer(Answer("Domain Name: X.TEST\xE2\x80\xAE tset.x\xE2\x81\xA6\xE2\x80\x94")),
         {"-h", a, "x.test"}, 0, "Domain Name: X.TEST" + x + " tset.x" + x + "\u2014\n", "", one},
        // A referral that names no host is as if it were not there.
        {badReferral, {"-h", a, "x.test"}, 1, noMatch + "\n" + referral + x + "[2J\n",
         "zwhois: x.test: no match\n", one},
        {controls, {"-h", a, "x\xC2\x85y.test"}, 2, "",
         "zwhois: query 'x" + x + "y.test': holds a control character\n", {}},
        // A later step fails: the earlier answer stays, and the failure is told.
        {toB, {"-h", a, "x.test"}, 2, keptThenFailed, "zwhois: " + refused + "\n", one},
        {toB, {"--json", "-h", a, "x.test"}, 2, json, "zwhois: " + refused + "\n", one},
        // The server the user named fails: said whatever follows, then the directory's.
        {controls, {"-h", sb::kUnknown, "x.test"}, 0, shown, unknown, one},
        {FakeServer::Answer(Answer(noMatch)), {"-h", sb::kUnknown, "x.test"}, 2, unknownThenMiss,
         unknown, one},
        // A failed query then a miss: the failure decides the status.
        {failThenMiss, {"-h", a, "fail.test", "x.test"}, 2, noMatch + "\n",
         "zwhois: whois.a.test: no answer\nzwhois: x.test: no match\n",
         {"fail.test\r\n", "x.test\r\n"}},
        // clang-format on
    };
    WriteFile("Server.wis", a + ",-,test\r\n");
    for (const Row& row : rows) {
        FakeServer serverA(sb::kWhoisAAddr, 43, row.answerA);
        const RunResult r = Run(row.args);
        EXPECT_EQ(r.status, row.status) << row.args[1] << '\n' << r.err;
        EXPECT_EQ(r.out, row.out) << row.args[1];
        EXPECT_EQ(r.err, row.err) << row.args[1];
        EXPECT_EQ(serverA.Received(), row.asksA) << row.args[1];
    }
}

TEST_F(CliTest, CtrlCDuringASilentServerExitsAt130) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Silence());
    RunOptions options;
    options.interruptWhen = [&a] { return a.Connections() > 0; };
    const RunResult r = Run({"-h", sb::kWhoisA, "example.test"}, options);
    EXPECT_EQ(r.status, 130) << "signal " << r.signal;
    EXPECT_EQ(r.err, "zwhois: interrupted\n");
    EXPECT_EQ(r.out, "");
    EXPECT_GE(r.signalToExit.count(), 0);
    EXPECT_LT(r.signalToExit, 100ms);
}

TEST_F(CliTest, CtrlCWhileReadingStandardInput) {
    RunOptions options;
    options.limit = 5s;
    const auto start = std::chrono::steady_clock::now();
    // Nothing arrives on standard input: the pipe stays open until the interrupt.
    options.interruptWhen = [start] { return std::chrono::steady_clock::now() - start > 200ms; };
    options.keepInputOpen = true;
    const RunResult r = Run({"-"}, options);
    EXPECT_EQ(r.status, 130) << "signal " << r.signal;
}

} // namespace
} // namespace clitest
