// The histories of the host and server boxes through the window and its files.
#include "tests/mainview/FormFixture.h"

#include "mainview/StatusPanels.h"

#include <QComboBox>
#include <QFile>
#include <QToolButton>

using HistoryBoxTest = FormFixture;

TEST_F(HistoryBoxTest, FileLoadsTrimmedDistinctEntriesInOrder) {
    WriteFile("Whois.lst", "whois.a.example\r\n\r\n  whois.b.example \r\nwhois.a.example\n"
                           "WHOIS.A.example\rwhois.b.example\r\n");
    TMainForm& f = Start();
    EXPECT_EQ(Items(f.WhoisServer),
              (QStringList{"whois.a.example", "whois.b.example", "WHOIS.A.example"}));
    // Loading leaves the edit text alone.
    EXPECT_TRUE(f.WhoisServer->currentText().isEmpty());
}

TEST_F(HistoryBoxTest, LongFileLoadsWholeAndIsCutWhenRecording) {
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "host" + std::to_string(i) + ".example\r\n";
    WriteFile("Hosts.lst", text);
    TMainForm& f = Start();
    EXPECT_EQ(f.HostIP->count(), 60);
    f.HostIP->setEditText(QStringLiteral("new.example"));
    f.UpdateHistory(f.HostIP, false, true);
    EXPECT_EQ(f.HostIP->count(), 50);
    EXPECT_EQ(f.HostIP->itemText(0), QStringLiteral("new.example"));
    EXPECT_EQ(f.HostIP->itemText(49), QStringLiteral("host48.example"));
}

TEST_F(HistoryBoxTest, EmptyHostsFileRemovesSamplesMissingOneKeepsThem) {
    WriteFile("Hosts.lst", "");
    EXPECT_EQ(Start().HostIP->count(), 0);
    form_.reset();
    QFile::remove(QString::fromStdString(paths_.HomeDir + "Hosts.lst"));
    EXPECT_GT(Start().HostIP->count(), 0);
}

TEST_F(HistoryBoxTest, RecordingMovesCaseVariantToTopWithNewCase) {
    WriteFile("Hosts.lst", "a.example\r\nWWW.EXAMPLE.JP\r\n");
    TMainForm& f = Start();
    f.HostIP->setEditText(QStringLiteral("  www.example.jp "));
    f.UpdateHistory(f.HostIP, false, true);
    EXPECT_EQ(Items(f.HostIP), (QStringList{"www.example.jp", "a.example"}));
    EXPECT_EQ(f.HostIP->currentText(), QStringLiteral("www.example.jp"));
}

TEST_F(HistoryBoxTest, DeletingUnknownTextOnlyClearsBoxEmptyTextDoesNothing) {
    WriteFile("Whois.lst", "whois.a.example\r\n");
    TMainForm& f = Start();
    f.WhoisServer->setEditText(QStringLiteral("other.example"));
    f.DelServer->click();
    EXPECT_TRUE(f.WhoisServer->currentText().isEmpty());
    EXPECT_EQ(Items(f.WhoisServer), QStringList{"whois.a.example"});

    f.WhoisServer->setEditText(QStringLiteral("   "));
    f.DelServerClick();
    EXPECT_EQ(f.WhoisServer->currentText(), QStringLiteral("   "));
    EXPECT_EQ(Items(f.WhoisServer), QStringList{"whois.a.example"});

    f.WhoisServer->setEditText(QStringLiteral("WHOIS.a.example"));
    f.DelServerClick();
    EXPECT_TRUE(f.WhoisServer->currentText().isEmpty());
    EXPECT_EQ(f.WhoisServer->count(), 0);
}

TEST_F(HistoryBoxTest, MailAddressRecordedWholeBySmtpButAsHostByPing) {
    WriteFile("Hosts.lst", "");
    TMainForm& f = Start();
    f.HostIP->setEditText(QStringLiteral("user@mail.example"));
    f.UpdateHistory(f.HostIP, false, false); // as the SMTP command records it
    EXPECT_EQ(Items(f.HostIP), QStringList{"user@mail.example"});
    EXPECT_EQ(f.HostIP->currentText(), QStringLiteral("user@mail.example"));

    // DelHost strips the user part before it searches: the whole entry is not found.
    f.DelHost->click();
    EXPECT_TRUE(f.HostIP->currentText().isEmpty());
    EXPECT_EQ(Items(f.HostIP), QStringList{"user@mail.example"});

    f.HostIP->setEditText(QStringLiteral("user@mail.example"));
    f.UpdateHistory(f.HostIP, false, true); // as the ping command records it
    EXPECT_EQ(f.HostIP->currentText(), QStringLiteral("mail.example"));
    EXPECT_EQ(Items(f.HostIP), (QStringList{"mail.example", "user@mail.example"}));
}

TEST_F(HistoryBoxTest, UrlShowsHostAndKeepsWholeTextInList) {
    WriteFile("Hosts.lst", "");
    TMainForm& f = Start();
    f.HostIP->setEditText(QStringLiteral("http://www.example.jp/a/b.html"));
    f.UpdateHistory(f.HostIP, false, true);
    EXPECT_EQ(f.HostIP->currentText(), QStringLiteral("www.example.jp"));
    EXPECT_EQ(Items(f.HostIP), QStringList{"http://www.example.jp/a/b.html"});
}

TEST_F(HistoryBoxTest, RestartRestoresListsOrderAndEditTexts) {
    TMainForm& f = Start();
    for (const char* server : {"whois.c.example", "whois.b.example", "whois.a.example"}) {
        f.WhoisServer->setEditText(QString::fromLatin1(server));
        f.UpdateHistory(f.WhoisServer, false, true);
    }
    f.HostIP->setEditText(QStringLiteral("host.example"));
    f.UpdateHistory(f.HostIP, false, true);
    const QStringList hosts = Items(f.HostIP);

    TMainForm& g = Restart();
    EXPECT_EQ(Items(g.WhoisServer),
              (QStringList{"whois.a.example", "whois.b.example", "whois.c.example"}));
    EXPECT_EQ(Items(g.HostIP), hosts);
    EXPECT_EQ(g.WhoisServer->currentText(), QStringLiteral("whois.a.example"));
    EXPECT_EQ(g.HostIP->currentText(), QStringLiteral("host.example"));
    EXPECT_EQ(ReadFile("Whois.lst"), "whois.a.example\r\nwhois.b.example\r\nwhois.c.example\r\n");
}

TEST_F(HistoryBoxTest, LegacyShiftJisHistoryIsRead) {
    // "日本.jp" in CP932, as the Windows program wrote it.
    WriteFile("Hosts.lst", "\x93\xfa\x96\x7b.jp\r\n");
    TMainForm& f = Start();
    EXPECT_EQ(Items(f.HostIP), QStringList{QStringLiteral("日本.jp")});
}

// A newcomer's server box lists the directory's servers (each once, in its order) below the
// history; only the history is recorded and saved.
TEST_F(HistoryBoxTest, DirectoryServersFollowTheHistoryAndAreNeverSaved) {
    WriteFile("Server.wis",
              "whois.a.example,-,jp\r\nwhois.b.example,+\r\nwhois.a.example,-,co.jp\r\n");
    WriteFile("Whois.lst", "whois.h.example\r\n");
    TMainForm& f = Start();
    EXPECT_EQ(Items(f.WhoisServer),
              (QStringList{"whois.h.example", "whois.a.example", "whois.b.example"}));
    f.WhoisServer->setEditText(QStringLiteral("whois.b.example"));
    f.UpdateHistory(f.WhoisServer, false, true);
    EXPECT_EQ(Items(f.WhoisServer),
              (QStringList{"whois.b.example", "whois.h.example", "whois.a.example"}));
    Shutdown();
    EXPECT_EQ(ReadFile("Whois.lst"), "whois.b.example\r\nwhois.h.example\r\n");
}

// A history line holding a zero byte is left out, the lines after it kept, and named in the
// status bar.
TEST_F(HistoryBoxTest, ALineWithAZeroByteIsLeftOutAndNamed) {
    WriteFile("Hosts.lst", std::string("a.example\r\nb\0x\r\nc.example\r\n", 27));
    TMainForm& f = Start();
    EXPECT_EQ(Items(f.HostIP), (QStringList{"a.example", "c.example"}));
    EXPECT_EQ(f.StatusBar1->PanelText(1),
              QString::fromStdString(paths_.HomeDir + "Hosts.lst") +
                  QStringLiteral(": 2行目はNULバイトを含むため読み飛ばしました"));
}
