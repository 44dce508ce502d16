// Start-up with and without files, and what shut-down leaves on disk.
#include "tests/mainview/FormFixture.h"

#include "mainview/FontRecord.h"
#include "mainview/StatusPanels.h"

#include "controls/SpinBtns.h"
#include "settings/IniParam.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QToolButton>

#include <algorithm>

namespace {

bool PanelOnLeft(TMainForm& f) {
    return f.centralWidget()->layout()->indexOf(f.OptPanel) == 0;
}

std::vector<std::string> KeysOf(const std::vector<std::string>& lines) {
    std::vector<std::string> keys;
    for (const std::string& line : lines)
        keys.push_back(line.substr(0, line.find('=')));
    return keys;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

using StartupTest = FormFixture;

TEST_F(StartupTest, NoFilesGiveTheDefaults) {
    TMainForm& f = Start();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Zindor Whois (v.0.1.0)"));
    EXPECT_EQ(f.Interval->Value(), 1000);
    EXPECT_EQ(f.TimeOut->Value(), 5);
    EXPECT_EQ(f.PingCount->Value(), 5);
    EXPECT_FALSE(f.OptPanel->isHidden());
    EXPECT_TRUE(PanelOnLeft(f));
    EXPECT_FALSE(f.ClockAction->isChecked());
    EXPECT_FALSE(f.Clock->isActive());
    for (QCheckBox* c : {f.PingCheck, f.ResolveCheck, f.SweepCheck, f.AutoChange, f.WithTrace})
        EXPECT_FALSE(c->isChecked()) << c->objectName().toStdString();
    EXPECT_TRUE(f.N4->isChecked());
    EXPECT_EQ(f.CodeConvTag(), 0);
    EXPECT_FALSE(f.SmtpAction->isVisible());
    f.show();
    QApplication::processEvents();
    EXPECT_FALSE(f.ToolButton3->isVisible());
    EXPECT_EQ(f.Memo1->font().family(), QApplication::font().family());
    // No help file: the help command is not offered.
    EXPECT_FALSE(f.HelpAction->isEnabled());
    // The host box keeps its samples; the server box has no history.
    EXPECT_GT(f.HostIP->count(), 0);
    EXPECT_EQ(f.WhoisServer->count(), 0);
    EXPECT_TRUE(f.HostIP->currentText().isEmpty());
    EXPECT_TRUE(f.HitKeys.empty());
    EXPECT_TRUE(f.PingTrace->FServerList.empty());
    EXPECT_EQ(f.WhoisListFile, paths_.HomeDir + "Whois.lst");
    EXPECT_EQ(f.HostListFile, paths_.HomeDir + "Hosts.lst");
    EXPECT_EQ(f.ServerFile, paths_.HomeDir + "Server.wis");
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(StartupTest, ShutdownWritesSettingsAndBothHistories) {
    Start();
    Shutdown();
    const auto lines = SettingsLines();
    const std::vector<std::string> expected{
        "MEMOFONT",  "WINDOWINFO", "WHOISSWEEP", "RESOLVEIP",   "CODEINDES",  "INTERVAL",
        "TIMEOUT",   "PINGCOUNT",  "AUTOCHANGE", "TRACE-WHOIS", "PANELALIGN", "PINGDNS",
        "SHOWCLOCK", "SHOWPANEL",  "RDAP",       "SHOWRECORD",  "SHOWOWNERS"};
    EXPECT_EQ(KeysOf(lines), expected);
    for (const char* line :
         {"WHOISSWEEP=0", "RESOLVEIP=0", "CODEINDES=0", "INTERVAL=1000", "TIMEOUT=5", "PINGCOUNT=5",
          "PANELALIGN=0", "SHOWCLOCK=0", "SHOWPANEL=1"})
        EXPECT_TRUE(HasLine(lines, line)) << line;
    ASSERT_TRUE(Exists("Whois.lst"));
    EXPECT_EQ(ReadFile("Whois.lst"), "");
    // The samples of the host box were written, one per line, CR LF ended.
    const std::string hosts = ReadFile("Hosts.lst");
    EXPECT_NE(hosts.find("\r\n"), std::string::npos);
    EXPECT_EQ(hosts.substr(hosts.size() - 2), "\r\n");
}

TEST_F(StartupTest, SettingsFileReachesControlsAndHandWrittenLinesSurvive) {
    WriteFile("zindor-whois.ini", "SMTPEXPN=1\r\nLASTUSER=abc\r\nLASTHOST=host.example\r\n"
                                  "LASTWHOIS=whois.example\r\nPANELALIGN=1\r\nSHOWPANEL=0\r\n"
                                  "SHOWCLOCK=1\r\nCODEINDES=3\r\nINTERVAL=99999\r\nPINGCOUNT=7\r\n"
                                  "WHOISSWEEP=1\r\nAUTOCHANGE=1\r\nTRACE-WHOIS=1\r\nPINGDNS=1\r\n"
                                  "RESOLVEIP=1\r\n");
    TMainForm& f = Start();
    EXPECT_TRUE(f.SmtpAction->isVisible());
    f.show();
    QApplication::processEvents();
    EXPECT_TRUE(f.ToolButton3->isVisible());
    // The hidden-by-default command is an ordinary command once shown.
    f.DisableButtons(nullptr, opSmtp);
    EXPECT_FALSE(f.SmtpAction->isEnabled());
    f.EnableButtons();
    EXPECT_TRUE(f.SmtpAction->isEnabled());
    EXPECT_EQ(f.HostIP->currentText(), QStringLiteral("host.example"));
    EXPECT_EQ(f.WhoisServer->currentText(), QStringLiteral("whois.example"));
    EXPECT_FALSE(PanelOnLeft(f));
    EXPECT_TRUE(f.OptPanel->isHidden());
    EXPECT_TRUE(f.Clock->isActive());
    EXPECT_TRUE(f.EUC1->isChecked());
    EXPECT_EQ(f.CodeConvTag(), 3);
    // A value beyond the spin edit's range is limited, and the limited value is saved.
    EXPECT_EQ(f.Interval->Value(), 32767);
    EXPECT_EQ(f.PingCount->Value(), 7);
    for (QCheckBox* c : {f.PingCheck, f.ResolveCheck, f.SweepCheck, f.AutoChange, f.WithTrace})
        EXPECT_TRUE(c->isChecked()) << c->objectName().toStdString();
    Shutdown();

    const auto lines = SettingsLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "SMTPEXPN=1");
    EXPECT_EQ(lines[1], "LASTUSER=abc");
    for (const char* line :
         {"LASTHOST=host.example", "LASTWHOIS=whois.example", "PANELALIGN=1", "SHOWPANEL=0",
          "SHOWCLOCK=1", "CODEINDES=3", "INTERVAL=32767", "PINGCOUNT=7", "WHOISSWEEP=1",
          "AUTOCHANGE=1", "TRACE-WHOIS=1", "PINGDNS=1", "RESOLVEIP=1"})
        EXPECT_TRUE(HasLine(lines, line)) << line;

    // And once more: LASTUSER stays through any number of runs.
    Start();
    Shutdown();
    EXPECT_TRUE(HasLine(SettingsLines(), "LASTUSER=abc"));
    EXPECT_TRUE(HasLine(SettingsLines(), "SMTPEXPN=1"));
}

TEST_F(StartupTest, CodeConversionOutsideRangeFallsBackToAutomatic) {
    WriteFile("zindor-whois.ini", "CODEINDES=7\r\n");
    TMainForm& f = Start();
    EXPECT_TRUE(f.N4->isChecked());
    EXPECT_EQ(f.CodeConvTag(), 0);
    Shutdown();
    EXPECT_TRUE(HasLine(SettingsLines(), "CODEINDES=0"));
}

TEST_F(StartupTest, EmptyHostBoxAtExitRemovesLastHost) {
    WriteFile("zindor-whois.ini", "LASTHOST=old.example\r\n");
    TMainForm& f = Start();
    f.HostIP->setEditText(QString());
    Shutdown();
    for (const std::string& line : SettingsLines())
        EXPECT_NE(line.rfind("LASTHOST", 0), 0u) << line;
}

TEST_F(StartupTest, MemoFontSurvivesRestart) {
    TMainForm& f = Start();
    QFont font = f.Memo1->font();
    font.setFamily(QStringLiteral("Monospace"));
    font.setPointSize(15);
    font.setBold(true);
    f.Memo1->setFont(font);
    TMainForm& g = Restart();
    EXPECT_EQ(g.Memo1->font().pointSize(), 15);
    EXPECT_TRUE(g.Memo1->font().bold());
    EXPECT_EQ(InitParam.FMemoFont.Name, "Monospace");
}

TEST_F(StartupTest, HitKeysAndServerDirectoryAreLoaded) {
    WriteFile("Servhit.key", "Domain Name:\r\n[ドメイン名]\nRegistrant\r");
    WriteFile("Server.wis", "whois.example.jp,+,jp\r\nwhois.example.com,-,com\r\n");
    TMainForm& f = Start();
    EXPECT_EQ(f.HitKeys, (std::vector<std::string>{"Domain Name:", "[ドメイン名]", "Registrant"}));
    EXPECT_EQ(f.PingTrace->FServerList.size(), 2u);
}

TEST_F(StartupTest, UnreadableHitKeysLeaveStartupGoingOn) {
    // A folder in place of the file cannot be read as one.
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("Servhit.key")));
    WriteFile("zindor-whois.ini", "PINGCOUNT=9\r\n");
    WriteFile("Server.wis", "whois.example.jp,+,jp\r\n");
    TMainForm& f = Start();
    EXPECT_TRUE(f.HitKeys.empty());
    EXPECT_EQ(f.PingCount->Value(), 9);
    ASSERT_NE(f.PingTrace, nullptr);
    EXPECT_EQ(f.PingTrace->FServerList.size(), 1u);
}

TEST_F(StartupTest, HistoryThatCannotBeWrittenIsReportedAndTheRestIsSaved) {
    TMainForm& f = Start();
    f.HostIP->setEditText(QStringLiteral("kept.example"));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("Whois.lst")));
    // At the end nobody may be there to click a box: the failure goes to stderr.
    testing::internal::CaptureStderr();
    Shutdown();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "zindor-whois: ファイル " + paths_.HomeFile("Whois.lst") + " を作成できません\n");
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_TRUE(Exists("Hosts.lst"));
    EXPECT_TRUE(HasLine(SettingsLines(), "LASTHOST=kept.example"));
}

TEST_F(StartupTest, UnreadableServerDirectoryLeavesItEmptyAndStartupGoesOn) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("Server.wis")));
    WriteFile("zindor-whois.ini", "LASTWHOIS=whois.example\r\n");
    TMainForm& f = Start();
    EXPECT_LE(messages_.size(), 1); // reported or not, the window comes up
    EXPECT_TRUE(f.PingTrace->FServerList.empty());
    EXPECT_EQ(f.WhoisServer->currentText(), QStringLiteral("whois.example"));
}

TEST_F(StartupTest, ShutdownRunsCloseThenDestroyThenTheSettingsSave) {
    TMainForm& f = Start();
    f.HostIP->setEditText(QStringLiteral("typed.example"));
    f.UpdateHistory(f.HostIP, false, true);
    f.setGeometry(30, 40, 600, 500);

    // Closing writes the histories and takes the placement, but not yet the controls.
    f.close();
    ASSERT_TRUE(Exists("Hosts.lst"));
    EXPECT_EQ(ReadFile("Hosts.lst").rfind("typed.example\r\n", 0), 0u);
    EXPECT_EQ(InitParam.FWindowInfo.Bounds.Left, 30);
    EXPECT_EQ(InitParam.FWindowInfo.Bounds.Bottom, 540);
    EXPECT_TRUE(InitParam.FLastHost.empty());

    // Destroying copies the controls into the record; the file waits for the record's end.
    form_.reset();
    EXPECT_EQ(InitParam.FLastHost, "typed.example");
    EXPECT_FALSE(Exists("zindor-whois.ini"));
    InitParam.Save();
    EXPECT_TRUE(HasLine(SettingsLines(), "LASTHOST=typed.example"));
}
