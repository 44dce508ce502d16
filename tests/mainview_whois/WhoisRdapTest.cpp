// RDAP in the window's chain: a port-43 server that refuses, then the RDAP record, its
// command line in the status bar, the settings menu's switch, and Stop during a slow answer.
#include "tests/mainview_whois/WhoisWindow.h"
#include "tests/support/FakeHttpServer.h"

#include <QAction>
#include <QCheckBox>
#include <QTest>

#include <filesystem>

namespace whoiswin {
namespace {

using testsupport::FakeHttpServer;
using testsupport::HttpReply;
using WhoisRdap = WhoisWindowTest;

TEST_F(WhoisRdap, RefusedPortFortyThreeThenTheRdapRecord) {
    REQUIRE_SANDBOX();
    const QString url = QStringLiteral("http://127.0.0.2:8080/domain/example.ltd");
    HttpReply record;
    record.body = R"({"objectClassName":"domain","ldhName":"EXAMPLE.LTD","handle":"D7"})";
    HttpReply slow = record;
    slow.silentAfterHeaders = true;
    struct Case {
        bool rdapOn, stop;
        HttpReply reply;
        QString shown;
    } cases[] = {
        {true, false, record, "refused.a.test: Error WSAECONNREFUSED\n\nrdap " + url},
        {false, false, record, QStringLiteral("\n\nError WSAECONNREFUSED")},
        {true, true, slow, QStringLiteral("No answer from refused.a.test")},
    };
    std::filesystem::create_directories(HomeFile("rdap"));
    WriteHome("rdap/dns.json", R"({"services":[[["ltd"],["http://127.0.0.2:8080/"]]]})");
    Open();
    for (const auto& c : cases) {
        FakeHttpServer rdap("127.0.0.2", 8080, [&](const auto&) { return c.reply; });
        Form().AutoChange->setChecked(true);
        Form().RdapAction->setChecked(c.rdapOn);
        Ask(sb::kRefused, "example.ltd");
        if (c.stop) {
            // The fetch does not wait for the window to show its start: both are awaited.
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return !rdap.Requests().empty() && Panel(1) == "rdap " + url; }, 10000))
                << Panel(1).toStdString();
            Trigger("StopAction");
            ASSERT_TRUE(WaitIdle(1000));
            QTest::qWait(300); // no late result
        }
        ASSERT_TRUE(WaitIdle());
        EXPECT_TRUE(Memo().contains(c.shown)) << Memo().toStdString();
        const bool hit = c.rdapOn && !c.stop;
        EXPECT_EQ(Memo().endsWith(QStringLiteral("\n\nDomain Name: EXAMPLE.LTD\nHandle: D7")), hit);
        EXPECT_EQ(rdap.Requests().size(), c.rdapOn ? 1u : 0u);
        EXPECT_EQ(Form().OpenWebHint() == QStringLiteral("www.example.ltd"), hit);
    }
}

} // namespace
} // namespace whoiswin
