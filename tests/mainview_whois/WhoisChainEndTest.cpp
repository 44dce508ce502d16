// How a chain ends: referral loops, the popup of a hidden window, and answers in EUC.
#include "tests/mainview_whois/WhoisWindow.h"

#include "mainview/ShowText.h"
#include "tests/kanjconv/Iconv.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace whoiswin {
namespace {

using Strings = std::vector<std::string>;

std::string Referral(const std::string& server) {
    return "% a thin registry answer\r\n\r\nDomain Name: EXAMPLE.COM\r\n   Whois Server: " +
           server + "\r\n";
}

class ChainEnd : public WhoisWindowTest {};

TEST_F(ChainEnd, ReferralToTheServerJustAskedEndsTheChain) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Referral("WHOIS.A.TEST")));
    ASSERT_TRUE(a.Listening());
    Open();
    Form().AutoChange->setChecked(true);
    Ask(sb::kWhoisA, "example.com");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Connections(), 1);
    EXPECT_EQ(MemoHeader(), "whois -h whois.a.test example.com");
    EXPECT_TRUE(Memo().contains("Whois Server: WHOIS.A.TEST"));
}

TEST_F(ChainEnd, TwoServersNamingEachOtherAreAskedOnceEach) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Referral(sb::kWhoisB)));
    FakeServer b(sb::kWhoisBAddr, 43, FakeServer::Answer(Referral(sb::kWhoisA)));
    ASSERT_TRUE(a.Listening() && b.Listening());
    Open();
    Form().AutoChange->setChecked(true);
    Ask(sb::kWhoisA, "example.com");
    ASSERT_TRUE(WaitIdle(60000));
    // b's referral back to a would send a the same query again; b's record is the answer.
    EXPECT_EQ(a.Connections(), 1);
    EXPECT_EQ(b.Connections(), 1);
    EXPECT_EQ(MemoHeader(), "whois -h whois.b.test example.com");
}

TEST_F(ChainEnd, NewChainMayFollowReferralsAgain) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Referral(sb::kWhoisB)));
    FakeServer b(sb::kWhoisBAddr, 43, FakeServer::Answer(Referral(sb::kWhoisA)));
    ASSERT_TRUE(a.Listening() && b.Listening());
    Open();
    Form().AutoChange->setChecked(true);
    Ask(sb::kWhoisA, "example.com");
    ASSERT_TRUE(WaitIdle(60000));
    Ask(sb::kWhoisA, "example.com");
    ASSERT_TRUE(WaitIdle(60000));
    EXPECT_EQ(a.Connections() + b.Connections(), 4);
}

// The record's summary above the answer: shown after a hit, in the record's order, gone with
// the switch off, for a chain without a hit, and while the next chain runs.
TEST_F(ChainEnd, RecordSummaryFollowsTheHitAndItsSwitch) {
    REQUIRE_SANDBOX();
    const std::string record = "Domain Name: EXAMPLE.COM\r\nRegistrar: Reg Inc.\r\n"
                               "Registry Expiry Date: 2030-03-21T05:00:00Z\r\n"
                               "Creation Date: 2001-03-21\r\nName Server: NS1.EXAMPLE.COM\r\n";
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(record));
    FakeServer b(sb::kWhoisBAddr, 43, FakeServer::Answer("No match for \"NONE.COM\".\r\n"));
    ASSERT_TRUE(a.Listening() && b.Listening());
    Open();
    const QString summary = QString::fromUtf8("レジストラ: Reg Inc.\n登録日: 2001-03-21\n"
                                              "有効期限: 2030-03-21T05:00:00Z\n"
                                              "ネームサーバ: ns1.example.com");
    const std::tuple<bool, const char*, QString> rows[] = {{true, sb::kWhoisA, summary},
                                                           {true, sb::kWhoisB, QString()},
                                                           {false, sb::kWhoisA, QString()}};
    for (const auto& [on, server, shown] : rows) {
        Form().RecordAction->setChecked(on);
        Ask(server, "example.com");
        EXPECT_FALSE(Form().RecordPanel->isVisibleTo(&Form()));
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Form().RecordPanel->text(), shown) << server;
        EXPECT_EQ(Form().RecordPanel->isVisibleTo(&Form()), !shown.isEmpty()) << server;
    }
    // The switch shows the finished chain's record at once.
    Trigger("RecordAction");
    EXPECT_EQ(Form().RecordPanel->text(), summary);
    EXPECT_TRUE(Memo().contains("Registrar: Reg Inc."));
}

TEST_F(ChainEnd, HitWhileHiddenOpensThePopupWithTheText) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Sample("jprs-google.jp-e.txt")));
    ASSERT_TRUE(a.Listening());
    Open(false);
    Form().resize(640, 480);
    int popups = 0;
    QString shown;
    QSize size;
    bool idleWhileOpen = false;
    TShowForm::ModalHook = [&](TShowForm& popup) {
        ++popups;
        shown = popup.Memo1->toPlainText();
        size = popup.size();
        idleWhileOpen = Form().WhoisAction->isEnabled();
        popup.CloseClick();
    };
    Ask(sb::kWhoisA, "google.jp");
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(QTest::qWaitFor([&] { return popups > 0; }, 5000));
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(shown, Memo());
    EXPECT_TRUE(shown.startsWith("whois -h whois.a.test google.jp\n"));
    EXPECT_EQ(size, Form().size());
    EXPECT_TRUE(idleWhileOpen) << "the chain has ended before the popup opens";
}

TEST_F(ChainEnd, EndWithoutHitWhileHiddenOpensThePopupToo) {
    REQUIRE_SANDBOX();
    Open(false);
    Ask(sb::kUnknown, "example.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(popups_, 1);
}

TEST_F(ChainEnd, VisibleWindowOpensNoPopup) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Sample("jprs-google.jp-e.txt")));
    ASSERT_TRUE(a.Listening());
    Open(true);
    Ask(sb::kWhoisA, "google.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(popups_, 0);
    EXPECT_TRUE(Form().OpenWeb->isEnabled());
}

TEST_F(ChainEnd, EucAnswerIsShownInAutomaticMode) {
    REQUIRE_SANDBOX();
    const std::string utf8 = Sample("jprs-yahoo.co.jp-ja.txt");
    kanjtest::Iconv toEuc("EUC-JP", "UTF-8");
    const std::optional<std::string> euc = toEuc.Convert(utf8);
    ASSERT_TRUE(euc.has_value());
    ASSERT_NE(*euc, utf8);
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(*euc));
    ASSERT_TRUE(a.Listening());
    Open();
    Ask(sb::kWhoisA, "yahoo.co.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Memo().contains("a. [ドメイン名]                 YAHOO.CO.JP"))
        << Memo().toStdString();
    EXPECT_TRUE(Memo().contains("f. [組織名]                     LINEヤフー株式会社"));
    EXPECT_TRUE(Form().OpenWeb->isEnabled()) << "the converted answer is a hit";
}

TEST_F(ChainEnd, Utf8AnswerStaysAsItIsInAutomaticMode) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(Sample("kr-google.kr-korean-utf8.txt")));
    ASSERT_TRUE(a.Listening());
    Open();
    Ask(sb::kWhoisA, "google.kr");
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Memo().contains("등록인")) << Memo().toStdString();
    EXPECT_TRUE(Form().OpenWeb->isEnabled());
}

TEST_F(ChainEnd, BidiControlsInAnAnswerAreShownAsReplacements) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43,
                 FakeServer::Answer("Domain Name: GOOGLE.JP\r\nOwner: \xE2\x80\xAE"
                                    "elgoog\xE2\x81\xA6!"));
    Open();
    Ask(sb::kWhoisA, "google.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Memo().endsWith(QString::fromUtf8("Owner: \uFFFDelgoog\uFFFD!")))
        << Memo().toStdString();
}

TEST_F(ChainEnd, EncodingMenuAppliesToLaterAnswersOnly) {
    REQUIRE_SANDBOX();
    const std::string utf8 = Sample("jprs-yahoo.co.jp-ja.txt");
    kanjtest::Iconv toEuc("EUC-JP", "UTF-8");
    const std::optional<std::string> euc = toEuc.Convert(utf8);
    ASSERT_TRUE(euc.has_value());
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(*euc));
    ASSERT_TRUE(a.Listening());
    Open();
    Ask(sb::kWhoisA, "yahoo.co.jp");
    ASSERT_TRUE(WaitIdle());
    const QString before = Memo();
    ASSERT_TRUE(before.contains("[ドメイン名]"));

    // Taken as UTF-8, the EUC bytes are not Japanese text any more, but the text already
    // shown stays as it was.
    Trigger("UTF81");
    EXPECT_EQ(Form().CodeConvTag(), 4);
    EXPECT_TRUE(Action("UTF81")->isChecked());
    EXPECT_FALSE(Action("N4")->isChecked());
    EXPECT_EQ(Memo(), before);
    Ask(sb::kWhoisA, "yahoo.co.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(Memo().contains("[ドメイン名]"));
    EXPECT_TRUE(Memo().contains(QChar(0xFFFD)));

    Trigger("EUC1");
    EXPECT_EQ(Form().CodeConvTag(), 3);
    Ask(sb::kWhoisA, "yahoo.co.jp");
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Memo().contains("[ドメイン名]"));
}

} // namespace
} // namespace whoiswin
