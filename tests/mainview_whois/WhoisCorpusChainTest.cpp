// Whole chains through the window against fake servers that give real answers of the corpus
// (tests/data/whois): each case ends on the right text after the fewest asks.
#include "tests/mainview_whois/WhoisWindow.h"

#include <QAction>
#include <QCheckBox>

#include <string>
#include <vector>

namespace whoiswin {
namespace {

using Strings = std::vector<std::string>;

// A real answer with a real server's name replaced by one of the sandbox.
std::string Renamed(std::string text, const std::string& real, const std::string& server) {
    for (size_t at = text.find(real); at != std::string::npos; at = text.find(real, at))
        text.replace(at, real.size(), server);
    return text;
}

class CorpusChain : public WhoisWindowTest {
protected:
    void Boxes(bool autoChange, bool sweep) {
        Form().AutoChange->setChecked(autoChange);
        Form().SweepCheck->setChecked(sweep);
    }
};

TEST_F(CorpusChain, LongNameAtTheRegistryEndsOnTheRegistrysNoMatch) {
    REQUIRE_SANDBOX();
    // The registry of .jp, and the last resort that refers every .jp name back to it.
    WriteHome("Server.wis", "whois.a.test,-,jp\r\nwhois.b.test,-,*\r\n");
    FakeServer jprs(sb::kWhoisAAddr, 43, FakeServer::Answer(Sample("jprs-no-match-ja.txt")));
    FakeServer iana(sb::kWhoisBAddr, 43,
                    FakeServer::Answer(Renamed(Sample("iana-com-refer.txt"),
                                               "whois.verisign-grs.com", sb::kWhoisA)));
    ASSERT_TRUE(jprs.Listening() && iana.Listening());
    Open();
    Boxes(true, true);
    Ask(sb::kWhoisA, "nonexist.co.jp");
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(jprs.Received(), Strings{"nonexist.co.jp\r\n"});
    EXPECT_EQ(iana.Received(), Strings{"nonexist.co.jp\r\n"});
    EXPECT_EQ(MemoHeader(), "whois -h whois.a.test nonexist.co.jp");
    EXPECT_TRUE(Memo().contains("No match!!"));
    EXPECT_TRUE(Memo().endsWith("Servers asked: whois.a.test, whois.b.test"))
        << Memo().toStdString();
    Ask(sb::kWhoisB, "nonexist.co.jp"); // begun at the last resort: the registry's answer too
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(MemoHeader(), "whois -h whois.a.test nonexist.co.jp");
}

TEST_F(CorpusChain, RirRecordWithAReferralGoesOnToTheRegistryThatHoldsTheAddress) {
    REQUIRE_SANDBOX();
    FakeServer arin(sb::kWhoisAAddr, 43,
                    FakeServer::Answer(Renamed(Sample("arin-144.134.121.81-referral-apnic.txt"),
                                               "whois.apnic.net", sb::kWhoisB)));
    FakeServer rir(sb::kWhoisBAddr, 43, FakeServer::Answer(Sample("ripe-128.79.0.0.txt")));
    ASSERT_TRUE(arin.Listening() && rir.Listening());
    Open();
    Boxes(true, false);
    Ask(sb::kWhoisA, "144.134.121.81");
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(arin.Received(), Strings{"144.134.121.81\r\n"});
    EXPECT_EQ(rir.Received(), Strings{"144.134.121.81\r\n"});
    EXPECT_EQ(MemoHeader(), "whois -h whois.b.test 144.134.121.81");
    EXPECT_TRUE(Memo().contains("inetnum:"));
    EXPECT_FALSE(Form().OpenWeb->isEnabled()) << "an address has no web site";
}

TEST_F(CorpusChain, RegistrarThatFailsLeavesTheRegistrysRecordOnShow) {
    REQUIRE_SANDBOX();
    struct Case {
        const char* registrar;
        const char* reason;
    } cases[] = {{sb::kRefused, "Error WSAECONNREFUSED"},
                 {sb::kUnknown, "Error WSAHOST_NOT_FOUND"}};
    for (const auto& c : cases) {
        FakeServer registry(sb::kWhoisAAddr, 43,
                            FakeServer::Answer(Renamed(
                                Sample("verisign-google.com-modern-registrar-whois-server.txt"),
                                "whois.markmonitor.com", c.registrar)));
        ASSERT_TRUE(registry.Listening());
        Open();
        Boxes(true, false);
        Ask(sb::kWhoisA, "google.com");
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(registry.Received(), Strings{"google.com\r\n"});
        EXPECT_EQ(MemoHeader(), "whois -h whois.a.test google.com");
        EXPECT_TRUE(Memo().contains("Domain Name: GOOGLE.COM"));
        EXPECT_TRUE(Memo().contains(QString("No answer from %1: %2").arg(c.registrar, c.reason)))
            << Memo().toStdString();
        EXPECT_TRUE(Form().OpenWeb->isEnabled());
        TearDown();
        SetUp();
    }
}

TEST_F(CorpusChain, JprsNoMatchWithoutABlankLineShowsTheNoMatchLine) {
    REQUIRE_SANDBOX();
    FakeServer jprs(sb::kWhoisAAddr, 43, FakeServer::Answer(Sample("jprs-no-match-ja.txt")));
    ASSERT_TRUE(jprs.Listening());
    Open();
    Boxes(true, true);
    Ask(sb::kWhoisA, "example.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(jprs.Received(), Strings{"example.jp\r\n"});
    EXPECT_TRUE(Memo().contains("No match!!"));
    EXPECT_FALSE(Memo().contains("JPRS database provides"));
}

TEST_F(CorpusChain, IanaJpnicAndThinRegistryRecordsAreHitsAtTheFirstAsk) {
    REQUIRE_SANDBOX();
    struct Case {
        const char* file;
        const char* query;
        const char* shown;
    } cases[] = {
        {"iana-nato.int-record.txt", "nato.int", "domain:       NATO.INT"},
        {"iana-ip6.arpa-record.txt", "ip6.arpa", "domain:       IP6.ARPA"},
        {"jpnic-as2515-ja.txt", "AS 2515", "a. [AS番号]                     2515"},
        {"verisign-old-thin-no-registrar-server.txt", "vrsn-20100925-dnssecmonitor86.net",
         "Domain Name: VRSN-20100925-DNSSECMONITOR86.NET"},
    };
    for (const auto& c : cases) {
        FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Sample(c.file)));
        ASSERT_TRUE(a.Listening());
        Open();
        Boxes(true, true);
        Ask(sb::kWhoisA, c.query);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(a.Received(), Strings{std::string(c.query) + "\r\n"}) << c.file;
        EXPECT_TRUE(Memo().contains(QString::fromUtf8(c.shown))) << c.file;
        EXPECT_TRUE(Form().OpenWeb->isEnabled()) << c.file;
        // The notice before an old registry record is not shown; the record is.
        EXPECT_FALSE(Memo().contains("Whois Server Version 2.0")) << c.file;
        TearDown();
        SetUp();
    }
}

TEST_F(CorpusChain, OldRegistryListingManyDomainsLeadsToTheQuerysRegistrar) {
    REQUIRE_SANDBOX();
    FakeServer registry(
        sb::kWhoisAAddr, 43,
        FakeServer::Answer(Renamed(Sample("verisign-old-google.com-many-whois-servers-excerpt.txt"),
                                   "whois.markmonitor.com", sb::kWhoisB)));
    FakeServer registrar(sb::kWhoisBAddr, 43,
                         FakeServer::Answer(Renamed(Sample("markmonitor-google.com-thick.txt"),
                                                    "whois.markmonitor.com", sb::kWhoisB)));
    ASSERT_TRUE(registry.Listening() && registrar.Listening());
    Open();
    Boxes(true, false);
    Ask(sb::kWhoisA, "google.com");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(registry.Received(), Strings{"google.com\r\n"});
    EXPECT_EQ(registrar.Received(), Strings{"google.com\r\n"});
    EXPECT_EQ(MemoHeader(), "whois -h whois.b.test google.com");
    EXPECT_TRUE(Memo().contains("Registrant Name: Dns Admin"));
}

TEST_F(CorpusChain, DirectorySuffixesMatchOnlyAtTheEndOfTheName) {
    REQUIRE_SANDBOX();
    WriteHome("Server.wis", "whois.b.test,-,de,in,com\r\nwhois.c.test,-,dev,int,au\r\n");
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Sample("switch-no-match.txt")));
    FakeServer b(sb::kWhoisBAddr, 43, FakeServer::Answer(Sample("denic-no-match.txt")));
    FakeServer c(sb::kWhoisCAddr, 43, FakeServer::Answer(Sample("auda-google.com.au.txt")));
    ASSERT_TRUE(a.Listening() && b.Listening() && c.Listening());
    Open();
    Boxes(false, true);
    for (const char* name : {"example.dev", "example.int", "google.com.au"}) {
        Ask(sb::kWhoisA, name);
        ASSERT_TRUE(WaitIdle());
    }
    EXPECT_EQ(b.Connections(), 0) << "de, in and com are not the names' last labels";
    EXPECT_EQ(c.Received(), (Strings{"example.dev\r\n", "example.int\r\n", "google.com.au\r\n"}));
    EXPECT_EQ(MemoHeader(), "whois -h whois.c.test google.com.au");
}

TEST_F(CorpusChain, JapaneseNameGoesOutInItsIdnaFormAndIsShownAsTyped) {
    REQUIRE_SANDBOX();
    FakeServer jprs(sb::kWhoisAAddr, 43,
                    FakeServer::AnswerByQuery({{"xn--wgv71a119e.jp", Sample("jprs-abs.jp-e.txt")}},
                                              Sample("jprs-no-match-e.txt")));
    ASSERT_TRUE(jprs.Listening());
    Open();
    Boxes(true, true);
    Ask(sb::kWhoisA, "日本語.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(jprs.Received(), Strings{"xn--wgv71a119e.jp\r\n"});
    EXPECT_EQ(MemoHeader(), QString::fromUtf8("whois -h whois.a.test 日本語.jp"));
    EXPECT_TRUE(Memo().contains("[Domain Name]                   ABS.JP"));
    EXPECT_EQ(Form().OpenWebHint(), QString::fromUtf8("www.日本語.jp"));
}

} // namespace
} // namespace whoiswin
