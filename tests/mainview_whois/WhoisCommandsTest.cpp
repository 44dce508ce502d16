// The ways to start a WHOIS query from the window, and the commands beside them: the host
// list's popup, the server list editor, saving the text area, the web site and SMTP answers.
#include "tests/mainview_whois/WhoisWindow.h"

#include "mainview/DialogHooks.h"
#include "mainview/WhoisCommands.h"

#include "directory/ui/SrvSetup.h"
#include "platform/TextFile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTreeWidget>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace whoiswin {
namespace {

using Strings = std::vector<std::string>;
const char* kAsked = "Please specify server/Domain name.";
const char* kNoMatch = "% header\r\n\r\nNo match!!\r\n";

class Commands : public WhoisWindowTest {
protected:
    QTreeWidgetItem* AddRow(const char* address, const char* name) {
        auto* row = new QTreeWidgetItem(Form().HostView, {"1", "10", address, name});
        mainview::SetRowAddress(row, address);
        return row;
    }
    void OpenHostPopup() {
        emit Form().HostView->customContextMenuRequested(QPoint(1, 1));
        Form().PopupMenu2->close();
    }
};

TEST_F(Commands, MissingServerOrQueryIsRefusedWithOneMessage) {
    Open();
    Form().Memo1->setPlainText("earlier answer");
    const size_t directory = Form().PingTrace->FServerList.size();
    // A domain name DNS cannot hold is refused too, with its limit.
    const std::string label = std::string(64, 'a') + ".jp", name = std::string(251, 'a') + ".jp";
    const struct {
        std::string server, query;
        QString message = kAsked;
    } cases[] = {
        {"", "example.jp"},
        {"whois.a.test", ""},
        {"   ", "example.jp"},
        {"whois.a.test", " \t"},
        {"whois.a.test", name, "ドメイン名は253バイトまでです (このドメイン名は254バイト)"},
        {"whois.a.test", "x." + label,
         "ドメイン名のラベルは63バイトまでです (2番目のラベルは64バイト)"}};
    for (const auto& c : cases) {
        messages_.clear();
        Ask(c.server, c.query);
        EXPECT_EQ(messages_, QStringList{c.message}) << c.server << "|" << c.query;
        EXPECT_TRUE(Form().WhoisAction->isEnabled()) << "nothing started";
    }
    EXPECT_EQ(Memo(), "earlier answer");
    EXPECT_EQ(Form().PingTrace->FServerList.size(), directory) << "no server was added";
    EXPECT_EQ(Panel(1), "");
}

TEST_F(Commands, MailAddressAndWebAddressesAreQueriedByTheirDomain) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(kNoMatch));
    ASSERT_TRUE(a.Listening());
    Open();
    const struct {
        const char* typed;
        const char* query;
    } cases[] = {{"hostmaster@example.jp", "example.jp"},
                 {"http://www.example.jp/path/page.html", "www.example.jp"},
                 {"https://example.co", "example.co"}};
    Strings expected;
    for (const auto& c : cases) {
        Ask(std::string("  ") + sb::kWhoisA + " ", c.typed);
        EXPECT_EQ(Form().HostIP->currentText(), c.query);
        EXPECT_EQ(Form().WhoisServer->currentText(), sb::kWhoisA);
        ASSERT_TRUE(WaitIdle());
        expected.push_back(std::string(c.query) + "\r\n");
        if (std::string(c.query) == "www.example.jp")
            expected.push_back("example.jp\r\n");
    }
    EXPECT_EQ(a.Received(), expected);
    // The history keeps a web address whole; only the box shows its host.
    EXPECT_EQ(Form().HostIP->itemText(0), "https://example.co");
    EXPECT_EQ(Form().WhoisServer->itemText(0), sb::kWhoisA);
}

TEST_F(Commands, ClipboardQueryKeepsItsBlanksAndLeavesTheHistory) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(kNoMatch));
    ASSERT_TRUE(a.Listening());
    Open();
    Form().WhoisServer->setEditText(sb::kWhoisA);
    const int history = Form().HostIP->count();
    QApplication::clipboard()->setText("  example.jp  ");
    Trigger("ClipWhois");
    EXPECT_EQ(Form().HostIP->currentText(), "  example.jp  ");
    EXPECT_EQ(Panel(1), "whois -h whois.a.test   example.jp  ");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Received(), Strings{"  example.jp  \r\n"});
    EXPECT_EQ(Form().LastQuery, "  example.jp  ");
    EXPECT_EQ(Form().HostIP->count(), history);
}

TEST_F(Commands, EmptyClipboardIsRefused) {
    Open();
    Form().WhoisServer->setEditText(sb::kWhoisA);
    QApplication::clipboard()->setText("   ");
    Trigger("ClipWhois");
    EXPECT_EQ(messages_, QStringList{kAsked});
}

TEST_F(Commands, HostListPopupWithoutAUsableRow) {
    Open();
    OpenHostPopup();
    EXPECT_EQ(Form().WhoisName1->text(), "Whois(unknwon...)");
    EXPECT_EQ(Form().Whois1->text(), "Whois(0.0.0.0)");
    EXPECT_FALSE(Form().WhoisName1->isEnabled());
    EXPECT_FALSE(Form().Whois1->isEnabled());
    EXPECT_FALSE(Form().SaveList->isEnabled()) << "an empty list has nothing to save";

    // A row without an address counts as none, even when selected.
    AddRow("", "noaddress.example");
    Form().HostView->topLevelItem(0)->setSelected(true);
    OpenHostPopup();
    EXPECT_EQ(Form().WhoisName1->text(), "Whois(unknwon...)");
    EXPECT_EQ(Form().Whois1->text(), "Whois(0.0.0.0)");
    EXPECT_FALSE(Form().Whois1->isEnabled());
    EXPECT_TRUE(Form().SaveList->isEnabled());
}

TEST_F(Commands, HostListPopupFollowsTheSelectedRowAndTheBusyState) {
    Open();
    AddRow("192.0.2.7", "host.example");
    AddRow("198.51.100.1", "other.example");
    Form().HostView->topLevelItem(1)->setSelected(true);
    OpenHostPopup();
    EXPECT_EQ(Form().WhoisName1->text(), "Whois(other.example)");
    EXPECT_EQ(Form().Whois1->text(), "Whois(198.51.100.1)");
    EXPECT_TRUE(Form().WhoisName1->isEnabled());
    EXPECT_TRUE(Form().Whois1->isEnabled());

    Form().DisableButtons(nullptr, opPing);
    OpenHostPopup();
    EXPECT_EQ(Form().WhoisName1->text(), "Whois(other.example)");
    EXPECT_FALSE(Form().WhoisName1->isEnabled()) << "no query while an operation runs";
    EXPECT_FALSE(Form().Whois1->isEnabled());
    Form().EnableButtons();
}

TEST_F(Commands, HostListItemsQueryTheRowsAddressAndName) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(kNoMatch));
    ASSERT_TRUE(a.Listening());
    Open();
    Form().WhoisServer->setEditText(sb::kWhoisA);

    // Without a selected row nothing happens.
    AddRow("192.0.2.7", "host.example");
    Form().Whois1->trigger();
    Form().WhoisName1->trigger();
    EXPECT_TRUE(Form().WhoisAction->isEnabled());
    EXPECT_TRUE(messages_.isEmpty());

    Form().HostView->topLevelItem(0)->setSelected(true);
    OpenHostPopup();
    Trigger("Whois1");
    ASSERT_TRUE(WaitIdle());
    OpenHostPopup();
    Trigger("WhoisName1");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Received(), (Strings{"192.0.2.7\r\n", "host.example\r\n"}));
    EXPECT_EQ(a.Connections(), 2);
}

TEST_F(Commands, DnsListItemQueriesTheFocusedListsSelection) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(kNoMatch));
    ASSERT_TRUE(a.Listening());
    Open();
    Form().WhoisServer->setEditText(sb::kWhoisA);
    Form().IPList->addItems({"192.0.2.1", "192.0.2.2"});
    Form().AliasList->addItems({"alias.example"});

    // No list has the focus: nothing happens.
    Form().HostIP->setFocus();
    Form().IPList->setCurrentRow(1);
    Form().Whois2->trigger();
    EXPECT_TRUE(Form().WhoisAction->isEnabled());

    Form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
    Form().IPList->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form().IPList->hasFocus(); }, 2000));
    Form().IPList->setCurrentRow(1);
    ASSERT_EQ(Form().FocusedDnsList(), Form().IPList);
    Form().Whois2->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Received(), Strings{"192.0.2.2\r\n"});
}

TEST_F(Commands, TextAreaItemQueriesTheSelectedText) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(kNoMatch));
    ASSERT_TRUE(a.Listening());
    Open();
    Form().WhoisServer->setEditText(sb::kWhoisA);
    Form().Memo1->setPlainText("Name Server: ns1.example.net\nnext line");

    Trigger("Whois4");
    EXPECT_EQ(messages_, QStringList{kAsked}) << "an empty selection is refused";

    QTextCursor cursor = Form().Memo1->textCursor();
    const int at = Form().Memo1->toPlainText().indexOf("example.net");
    cursor.setPosition(at);
    cursor.setPosition(at + int(std::strlen("example.net")), QTextCursor::KeepAnchor);
    Form().Memo1->setTextCursor(cursor);
    Trigger("Whois4");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Received(), Strings{"example.net\r\n"});
    EXPECT_EQ(MemoHeader(), "whois -h whois.a.test example.net");
}

TEST_F(Commands, MultiLineSelectionIsNeverSent) {
    REQUIRE_SANDBOX();
    FakeServer a(sb::kWhoisAAddr, 43, FakeServer::Answer(kNoMatch));
    ASSERT_TRUE(a.Listening());
    Open();
    Form().WhoisServer->setEditText(sb::kWhoisA);
    Form().Memo1->setPlainText("example.jp\nhelp");
    Form().Memo1->selectAll();
    EXPECT_EQ(mainview::SelectedText(Form().Memo1), "example.jp\r\nhelp");
    Trigger("Whois4");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(a.Connections(), 0);
    EXPECT_TRUE(Memo().endsWith("Error WSAEINVAL")) << Memo().toStdString();
}

TEST_F(Commands, NewChainWithdrawsTheWebSiteOfTheLastHit) {
    REQUIRE_SANDBOX();
    FakeServer a(
        sb::kWhoisAAddr, 43,
        FakeServer::AnswerByQuery({{"google.jp", Sample("jprs-google.jp-e.txt")}}, kNoMatch));
    ASSERT_TRUE(a.Listening());
    Open();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "Open");
    Ask(sb::kWhoisA, "google.jp");
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(Form().OpenWeb->isEnabled());
    EXPECT_EQ(Form().OpenWeb->toolTip(), "www.google.jp") << "the hint is the button's tool-tip";
    Trigger("OpenWeb");
    EXPECT_EQ(catcher.urls, QList<QUrl>{QUrl("http://www.google.jp")});

    Ask(sb::kWhoisA, "example.jp");
    EXPECT_FALSE(Form().OpenWeb->isEnabled()) << "withdrawn as the next chain starts";
    EXPECT_TRUE(Form().OpenWebHint().isEmpty());
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(Form().OpenWeb->isEnabled());
    Form().OpenWebExecute(); // with no hint nothing is opened
    EXPECT_EQ(catcher.urls.size(), 1);
    QDesktopServices::unsetUrlHandler("http");
}

TEST_F(Commands, CancelledServerEditorLeavesTheFileAlone) {
    WriteHome("Server.wis", "whois.a.test,-,jp\r\n");
    Open();
    WriteHome("Server.wis", "changed on disk\r\n");
    bool shown = false;
    TServerForm::ModalHook = [&](TServerForm& dialog) {
        shown = true;
        dialog.ServerName->setText("whois.b.test");
        dialog.DomainList->setText("test");
        dialog.AddBtn->click();
        dialog.CancelBtn->click();
    };
    Trigger("SetWhoisList");
    EXPECT_TRUE(shown);
    EXPECT_EQ(ReadHome("Server.wis"), "changed on disk\r\n");
    EXPECT_EQ(Form().PingTrace->FServerList, Strings{"whois.a.test,-,jp"});
    EXPECT_TRUE(Form().findChildren<TServerForm*>().isEmpty()) << "the dialog is released";
}

TEST_F(Commands, ConfirmedServerEditorRewritesTheFile) {
    WriteHome("Server.wis", "whois.a.test,-,jp\r\n");
    Open();
    WriteHome("Server.wis", "changed on disk\r\n");
    TServerForm::ModalHook = [](TServerForm& dialog) { dialog.UpdateBtn->click(); };
    Trigger("SetWhoisList");
    EXPECT_EQ(ReadHome("Server.wis"), "whois.a.test,-,jp\r\n") << "rewritten even unchanged";

    TServerForm::ModalHook = [](TServerForm& dialog) {
        dialog.ServerName->setText("whois.b.test");
        dialog.DomainList->setText("test");
        dialog.AddBtn->click();
        dialog.UpdateBtn->click();
    };
    Trigger("SetWhoisList");
    ASSERT_EQ(Form().PingTrace->FServerList.size(), 2u);
    EXPECT_EQ(ReadHome("Server.wis"),
              "whois.a.test,-,jp\r\n" + Form().PingTrace->FServerList[1] + "\r\n");
    EXPECT_NE(Form().PingTrace->FServerList[1].find("whois.b.test"), std::string::npos);
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(Commands, ServerFileThatCannotBeWrittenIsReportedAndTheWindowGoesOn) {
    Open();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(HomeFile("Server.wis"))));
    TServerForm::ModalHook = [](TServerForm& dialog) { dialog.UpdateBtn->click(); };
    Trigger("SetWhoisList");
    EXPECT_EQ(messages_.size(), 1);
    EXPECT_TRUE(Form().findChildren<TServerForm*>().isEmpty());
    EXPECT_TRUE(Form().SetWhoisList->isEnabled());
}

TEST_F(Commands, SavedTextAreaHasCrLfLines) {
    Open();
    Form().Memo1->setPlainText("whois -h a b\n\nDomain: ドメイン\nend");
    const std::string name = HomeFile("answer.txt");
    mainview::SaveDialogSpec asked;
    mainview::SetSaveFileHook([&](const mainview::SaveDialogSpec& spec) {
        asked = spec;
        return std::optional<QString>(QString::fromStdString(name));
    });
    Trigger("SaveWhois");
    EXPECT_EQ(asked.Title, "ファイルへ保存します");
    EXPECT_EQ(asked.DefaultSuffix, "txt");
    std::string bytes;
    ASSERT_TRUE(platform::ReadFileBytes(name, bytes));
    EXPECT_EQ(bytes, "whois -h a b\r\n\r\nDomain: ドメイン\r\nend\r\n");

    // An existing file is replaced.
    Form().Memo1->setPlainText("short");
    Trigger("SaveWhois");
    ASSERT_TRUE(platform::ReadFileBytes(name, bytes));
    EXPECT_EQ(bytes, "short\r\n");
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(Commands, SavedAnswerOfAnUnknownServerKeepsItsBlankLine) {
    REQUIRE_SANDBOX();
    Open();
    Ask(sb::kUnknown, "example.jp");
    ASSERT_TRUE(WaitIdle());
    const std::string name = HomeFile("unknown.txt");
    mainview::SetSaveFileHook([&](const mainview::SaveDialogSpec&) {
        return std::optional<QString>(QString::fromStdString(name));
    });
    Trigger("SaveWhois");
    std::string bytes;
    ASSERT_TRUE(platform::ReadFileBytes(name, bytes));
    EXPECT_EQ(bytes, "whois -h nowhere.invalid example.jp\r\n\r\n\r\n");
}

TEST_F(Commands, CancelledSaveWritesNothing) {
    Open();
    Form().Memo1->setPlainText("text");
    mainview::SetSaveFileHook(
        [](const mainview::SaveDialogSpec&) { return std::optional<QString>(); });
    Trigger("SaveWhois");
    EXPECT_TRUE(QDir(QString::fromStdString(HomeFile(""))).entryList({"*.txt"}).isEmpty());
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(Commands, UnwritableSaveFileIsReportedWithItsName) {
    Open();
    Form().Memo1->setPlainText("text");
    const QString folder = QString::fromStdString(HomeFile("taken.txt"));
    ASSERT_TRUE(QDir().mkpath(folder));
    mainview::SetSaveFileHook(
        [&](const mainview::SaveDialogSpec&) { return std::optional<QString>(folder); });
    Trigger("SaveWhois");
    EXPECT_EQ(messages_, QStringList{"ファイル " + folder + " を作成できません"});
    EXPECT_EQ(Memo(), "text");
}

TEST_F(Commands, Utf8EncodingChoiceIsKeptWithTheSettings) {
    WriteHome("zindor-whois.ini", "CODEINDES=4\r\n");
    Open();
    EXPECT_EQ(Form().CodeConvTag(), 4);
    EXPECT_TRUE(Action("UTF81")->isChecked());
    EXPECT_EQ(Action("UTF81")->text(), "UTF-8");
    Trigger("JIS2");
    EXPECT_EQ(Form().CodeConvTag(), 2);
    EXPECT_FALSE(Action("UTF81")->isChecked()) << "one radio group";
}

TEST_F(Commands, SmtpAnswerIsShownWholeAndEndsTheBusyState) {
    REQUIRE_SANDBOX();
    FakeServer::Options options;
    options.requestEnd = "QUIT\r\n";
    FakeServer smtp(
        sb::kSmtpAAddr, 25,
        FakeServer::Answer("220 mail.example ESMTP\n\n250 Postmaster <pm@example.jp>\n"), options);
    ASSERT_TRUE(smtp.Listening());
    Open();
    Form().PingTrace->Smtp(sb::kSmtpA, "EXPN postmaster");
    EXPECT_FALSE(Form().WhoisAction->isEnabled());
    ASSERT_TRUE(WaitIdle());
    // No header, no trimming, the first paragraph kept.
    EXPECT_EQ(Memo(), "220 mail.example ESMTP\n\n250 Postmaster <pm@example.jp>\n");
}

} // namespace
} // namespace whoiswin
