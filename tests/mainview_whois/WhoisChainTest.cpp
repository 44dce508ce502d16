// The WHOIS chain from the window's WHOIS action to its end: hit, parent-domain retry,
// referral, sweep and failures, against fake servers on port 43.
#include "tests/mainview_whois/WhoisWindow.h"

#include <QAction>
#include <QCheckBox>

#include <string>
#include <vector>

namespace whoiswin {
namespace {

using Strings = std::vector<std::string>;

const char* kNoMatch = "[ JPRS database provides information on network administration. ]\r\n"
                       "\r\n"
                       "No match!!\r\n";

// Counts the controller's server lookups, keeping the window's own handler.
struct LookupCounter {
    explicit LookupCounter(TPingTrace& trace) {
        auto previous = trace.OnResolved;
        trace.OnResolved = [this, previous](TObject* s, uint8_t op, const TagHostEnt& h) {
            ++count;
            if (previous)
                previous(s, op, h);
        };
    }
    int count = 0;
};

class WhoisChain : public WhoisWindowTest {};

TEST_F(WhoisChain, HitAtTheFirstServerEndsTheChainAndOffersTheWebSite) {
    REQUIRE_SANDBOX();
    const std::string answer = Sample("jprs-google.jp-e.txt");
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(answer));
    ASSERT_TRUE(a.Listening()) << a.Error();
    Open();
    Ask(sb::kWhoisA, "google.jp");
    EXPECT_FALSE(Form().WhoisAction->isEnabled())
        << "the chain puts the window into its busy state";
    EXPECT_EQ(Panel(1), "whois -h whois.a.test google.jp");
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(a.Received(), Strings{"google.jp\r\n"});
    EXPECT_EQ(MemoHeader(), "whois -h whois.a.test google.jp");
    EXPECT_TRUE(Memo().contains("[Domain Name]                   GOOGLE.JP"));
    // The banner before the first blank line is not shown.
    EXPECT_FALSE(Memo().contains("JPRS database provides"));
    EXPECT_TRUE(Form().OpenWeb->isEnabled());
    EXPECT_EQ(Form().OpenWebHint(), "www.google.jp");
    EXPECT_EQ(Panel(1), "") << "the idle state clears the command line";
    EXPECT_EQ(Form().LastQuery, "google.jp");
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("|").toStdString();
}

TEST_F(WhoisChain, LongQueryIsRetriedAsItsParentAtTheSameServerWithoutANewLookup) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43,
                 FakeServer::AnswerByQuery({{"yahoo.co.jp", Sample("jprs-yahoo.co.jp-ja.txt")}},
                                           Sample("jprs-no-match-ja.txt")));
    ASSERT_TRUE(a.Listening()) << a.Error();
    Open();
    LookupCounter lookups(*Form().PingTrace);
    Ask(sb::kWhoisA, "mail.www.yahoo.co.jp");
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(a.Received(),
              (Strings{"mail.www.yahoo.co.jp\r\n", "www.yahoo.co.jp\r\n", "yahoo.co.jp\r\n"}));
    EXPECT_EQ(lookups.count, 1);
    EXPECT_EQ(MemoHeader(), "whois -h whois.a.test yahoo.co.jp");
    EXPECT_TRUE(Memo().contains("a. [ドメイン名]                 YAHOO.CO.JP"));
    EXPECT_EQ(Form().LastQuery, "mail.www.yahoo.co.jp") << "retries leave the user's query alone";
    EXPECT_EQ(Form().OpenWebHint(), "www.yahoo.co.jp");
}

TEST_F(WhoisChain, TwoLabelsAreNotRetried) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Sample("jprs-no-match-e.txt")));
    ASSERT_TRUE(a.Listening()) << a.Error();
    Open();
    Ask(sb::kWhoisA, "example.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Received(), Strings{"example.jp\r\n"});
    EXPECT_TRUE(Memo().contains("No match!!"));
    EXPECT_FALSE(Form().OpenWeb->isEnabled());
    EXPECT_TRUE(Form().OpenWebHint().isEmpty());
}

// A real answer with a real server's name replaced by one of the sandbox.
std::string Renamed(std::string text, const std::string& real, const std::string& server) {
    for (size_t at = text.find(real); at != std::string::npos; at = text.find(real, at))
        text.replace(at, real.size(), server);
    return text;
}

// The registry's thin answer names the registrar's server; the sandbox stands in for it.
std::string ThinAnswerNaming(const std::string& server) {
    return Renamed(Sample("verisign-google.com-modern-registrar-whois-server.txt"),
                   "whois.markmonitor.com", server);
}

TEST_F(WhoisChain, ReferralIsFollowedWithAutoJumpOn) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(ThinAnswerNaming(sb::kWhoisB)));
    // The registrar names itself, as the real one does.
    FakeServer b(sb::kWhoisBAddr, 43,
                 FakeServer::Answer(Renamed(Sample("markmonitor-google.com-thick.txt"),
                                            "whois.markmonitor.com", sb::kWhoisB)));
    ASSERT_TRUE(a.Listening() && b.Listening());
    Open();
    Form().AutoChange->setChecked(true);
    LookupCounter lookups(*Form().PingTrace);
    Ask(sb::kWhoisA, "google.com");
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(a.Received(), Strings{"google.com\r\n"});
    EXPECT_EQ(b.Received(), Strings{"google.com\r\n"});
    EXPECT_EQ(lookups.count, 2) << "a referral looks the named server up";
    EXPECT_EQ(MemoHeader(), "whois -h whois.b.test google.com");
    EXPECT_TRUE(Memo().contains("Registrant Name: Dns Admin")) << Memo().toStdString();
    EXPECT_TRUE(Form().OpenWeb->isEnabled());
}

TEST_F(WhoisChain, ThinRecordIsTheAnswerWithAutoJumpOffEvenInSweepMode) {
    REQUIRE_SANDBOX();
    WriteHome("Server.wis", "whois.a.test,-,com\r\nwhois.c.test,-,com\r\n");
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(ThinAnswerNaming(sb::kWhoisB)));
    FakeServer b(sb::kWhoisBAddr, 43, FakeServer::Answer("unexpected\r\n"));
    FakeServer c(sb::kWhoisCAddr, 43, FakeServer::Answer("unexpected\r\n"));
    ASSERT_TRUE(a.Listening() && b.Listening() && c.Listening());
    Open();
    Form().SweepCheck->setChecked(true);
    Ask(sb::kWhoisA, "google.com");
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(a.Connections(), 1);
    EXPECT_EQ(b.Connections(), 0);
    EXPECT_EQ(c.Connections(), 0);
    EXPECT_EQ(MemoHeader(), "whois -h whois.a.test google.com");
    EXPECT_TRUE(Memo().contains("Registrar WHOIS Server: whois.b.test"));
    // The registry's record names the query: without the jump it is the answer.
    EXPECT_TRUE(Form().OpenWeb->isEnabled());
}

TEST_F(WhoisChain, SweepAsksEachCandidateTheUsersQuery) {
    REQUIRE_SANDBOX();
    // The user's server first, then the directory's other servers for "test" in file order;
    // whois.d.test serves another suffix only.
    WriteHome("Server.wis", "whois.b.test,-,test\r\nwhois.d.test,-,jp\r\nwhois.a.test,-,test\r\n"
                            "whois.c.test,-,*\r\n");
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(kNoMatch));
    FakeServer b(sb::kWhoisBAddr, 43, FakeServer::Answer(kNoMatch));
    FakeServer c(sb::kWhoisCAddr, 43,
                 FakeServer::Answer("\r\nNo entries found for the selected source(s).\r\n"));
    FakeServer d(sb::kWhoisDAddr, 43, FakeServer::Answer(kNoMatch));
    ASSERT_TRUE(a.Listening() && b.Listening() && c.Listening() && d.Listening());
    Open();
    Form().SweepCheck->setChecked(true);
    Ask(sb::kWhoisA, "www.example.test");
    ASSERT_TRUE(WaitIdle());

    // Each server gets the user's query, and retries its parent itself.
    const Strings asked{"www.example.test\r\n", "example.test\r\n"};
    EXPECT_EQ(a.Received(), asked);
    EXPECT_EQ(b.Received(), asked);
    EXPECT_EQ(c.Received(), asked);
    EXPECT_EQ(d.Connections(), 0);
    // The end shows the first registry's answer to the user's query, and who was asked.
    EXPECT_EQ(MemoHeader(), "whois -h whois.a.test www.example.test");
    EXPECT_TRUE(Memo().contains("No match!!"));
    EXPECT_FALSE(Memo().contains("No entries found"));
    EXPECT_TRUE(Memo().endsWith("Servers asked: whois.a.test, whois.b.test, whois.c.test"))
        << Memo().toStdString();
    EXPECT_EQ(Form().LastQuery, "www.example.test");
}

TEST_F(WhoisChain, WithoutSweepNoCandidateIsAsked) {
    REQUIRE_SANDBOX();
    WriteHome("Server.wis", "whois.a.test,-,test\r\nwhois.b.test,-,test\r\n");
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(kNoMatch));
    FakeServer b(sb::kWhoisBAddr, 43, FakeServer::Answer(kNoMatch));
    ASSERT_TRUE(a.Listening() && b.Listening());
    Open();
    Ask(sb::kWhoisA, "example.test");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Connections(), 1);
    EXPECT_EQ(b.Connections(), 0);
}

TEST_F(WhoisChain, UnresolvableServerShowsOnlyTheCommandLine) {
    REQUIRE_SANDBOX();
    Open();
    Ask(sb::kUnknown, "www.example.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Memo(), "whois -h nowhere.invalid www.example.jp\n\n");
    EXPECT_FALSE(Form().OpenWeb->isEnabled());
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(WhoisChain, UnresolvableServerHandsOverToTheNextCandidateInSweepMode) {
    REQUIRE_SANDBOX();
    WriteHome("Server.wis", "whois.a.test,-,jp\r\n");
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Sample("jprs-google.jp-e.txt")));
    ASSERT_TRUE(a.Listening());
    Open();
    Form().SweepCheck->setChecked(true);
    Ask(sb::kUnknown, "google.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Received(), Strings{"google.jp\r\n"});
    EXPECT_EQ(MemoHeader(), "whois -h whois.a.test google.jp");
    // The unknown server joined the directory in memory, with the markers of a new line.
    EXPECT_EQ(Form().PingTrace->FServerList.back(), "nowhere.invalid,+,*,");
}

TEST_F(WhoisChain, RefusedConnectionShowsTheErrorAndIsNotRetried) {
    REQUIRE_SANDBOX();
    Open();
    LookupCounter lookups(*Form().PingTrace);
    Ask(sb::kRefused, "www.example.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Memo(), "whois -h refused.a.test www.example.jp\n\nError WSAECONNREFUSED");
    EXPECT_EQ(lookups.count, 1);
    EXPECT_FALSE(Form().OpenWeb->isEnabled());
}

TEST_F(WhoisChain, QueryWithALineBreakIsRefusedAndShownAsAFailedStep) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(kNoMatch));
    ASSERT_TRUE(a.Listening());
    Open();
    Form().RunWhois(sb::kWhoisA, "example.jp\r\nhelp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Connections(), 0) << "such a text is never sent";
    EXPECT_TRUE(Memo().endsWith("\n\nError WSAEINVAL")) << Memo().toStdString();
}

TEST_F(WhoisChain, JisAnswerIsShownInAutomaticMode) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43,
                 FakeServer::Answer(Sample("jpnic-218.43.43.43-ja-iso2022jp-reconstructed.txt")));
    ASSERT_TRUE(a.Listening());
    Open();
    ASSERT_EQ(Form().CodeConvTag(), 0);
    Ask(sb::kWhoisA, "218.43.43.43");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Received(), Strings{"218.43.43.43\r\n"});
    EXPECT_TRUE(Memo().contains("a. [IPネットワークアドレス]")) << Memo().toStdString();
    EXPECT_FALSE(Memo().contains(QChar(0x1B))) << "no escape sequence is left";
    // A hit on an address offers no web site.
    EXPECT_FALSE(Form().OpenWeb->isEnabled());
    EXPECT_TRUE(Form().OpenWebHint().isEmpty());
}

} // namespace
} // namespace whoiswin
