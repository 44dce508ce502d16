// The program's start and end on paths a person takes without thinking: a start with a
// saved minimised window where there is no notification area, and the end of the program
// by a signal, which must save what closing the window saves.
#include "tests/mainview/FormFixture.h"

#include "mainview/StartEnd.h"
#include "mainview/StatusPanels.h"

#include "controls/SpinBtns.h"
#include "engine/PingCtrl.h"
#include "platform/TextFile.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>

#include <signal.h>

using ProgramStart = FormFixture;

TEST_F(ProgramStart, SavedMinimisedStateWithoutTrayShowsTheWindowMinimised) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the offscreen platform has none";
    WriteFile("zindor-whois.ini", "WINDOWINFO=1,10,20,610,420\r\n");
    TMainForm& form = Start();
    ASSERT_TRUE(form.isMinimized());
    mainview::ShowAtStart(form, false, false);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(form.isVisible()) << "the window must reach the task bar";
    EXPECT_TRUE(form.isMinimized());
    // Hiding again (the command, or minimising) keeps it there.
    form.HideActionExecute();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isMinimized());
}

namespace {

using namespace std::chrono_literals;

// Whether the process has a handler for `signal` (its caught-signals mask in /proc).
bool Catches(qint64 pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

std::vector<std::string> Lines(const QString& file) {
    std::vector<std::string> lines;
    platform::ReadTextLines(file.toStdString(), lines);
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST(ProgramEnd, TermAndHangUpSaveWhatClosingSaves) {
    for (int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        QTemporaryDir home;
        platform::WriteFileBytes(home.filePath("zindor-whois.ini").toStdString(),
                                 "LASTHOST=host.example\r\nWINDOWINFO=0,10,20,623,529\r\n");
        platform::WriteFileBytes(home.filePath("Whois.lst").toStdString(), "whois.a.example\r\n");
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(ZW_EXECUTABLE), {"--home", home.path()});
        ASSERT_TRUE(program.waitForStarted(10000));
        // The handler is in place from the program's first step on; a signal that comes
        // before the window exists is kept until it does.
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!Catches(program.processId(), signal) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(Catches(program.processId(), signal));
        ::kill(pid_t(program.processId()), signal);
        if (!program.waitForFinished(30000)) {
            program.kill();
            program.waitForFinished();
            FAIL() << "the program did not end";
        }
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        // The histories, the placement and the settings, as a normal close leaves them.
        EXPECT_EQ(Lines(home.filePath("Whois.lst")), std::vector<std::string>{"whois.a.example"});
        EXPECT_FALSE(Lines(home.filePath("Hosts.lst")).empty());
        const auto ini = Lines(home.filePath("zindor-whois.ini"));
        EXPECT_TRUE(Has(ini, "LASTHOST=host.example"));
        EXPECT_TRUE(Has(ini, "WINDOWINFO=0,10,20,623,529"));
        EXPECT_TRUE(Has(ini, "PINGCOUNT=5")) << "the controls were copied into the settings";
    }
}

// The request to save comes also before a logout the user cancels: the window saves and stays.
// The session's real end quits, and the window, even one not shown, closes and saves.
TEST_F(ProgramStart, SessionSaveRequestSavesAndOnlyTheSessionsEndCloses) {
    QSessionManager* manager = qApp->findChild<QSessionManager*>();
    ASSERT_TRUE(manager);
    TMainForm& form = Start();
    mainview::WatchSessionEnd(form);
    form.PingCount->SetValue(7);
    Q_EMIT qApp->commitDataRequest(*manager);
    EXPECT_TRUE(Has(SettingsLines(), "PINGCOUNT=7"));
    EXPECT_FALSE(form.Closed());
    QTimer::singleShot(0, [] { QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit)); });
    QApplication::exec();
    EXPECT_TRUE(form.Closed());
}

// A home that cannot be made: the shipped directory and phrases are read, the start says once
// why nothing is kept, and the end reports its failed saves on stderr, never in a box.
TEST_F(ProgramStart, HomeThatCannotBeMadeStartsFromShippedFilesAndEndsWithoutABox) {
    const std::string root = dir_.path().toStdString() + "/", home = root + "plain/home/";
    platform::WriteFileBytes(root + "plain", "");
    platform::WriteFileBytes(root + "Server.wis", "whois.shipped.example,-,example\r\n");
    platform::WriteFileBytes(root + "Servhit.key", "Domain Name:\r\n");
    paths_ = mainview::AppPaths{root + "bin/", "zindor-whois", home, root};
    const settings::HomeStatus status = mainview::PrepareHome(paths_);
    TMainForm& window = Start();
    EXPECT_EQ(window.PingTrace->FServerList,
              std::vector<std::string>{"whois.shipped.example,-,example"});
    EXPECT_EQ(window.HitKeys, std::vector<std::string>{"Domain Name:"});
    testing::internal::CaptureStderr();
    mainview::ReportHomeProblem(window, status);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "zindor-whois: " + window.StatusBar1->toolTip().toStdString() + "\n");
    EXPECT_EQ(window.StatusBar1->PanelText(1),
              QStringLiteral("設定フォルダを作成できません。設定は保存されません"));
    EXPECT_EQ(said.rfind("zindor-whois: フォルダ " + home + " を作成できません (", 0), 0u) << said;
    testing::internal::CaptureStderr();
    window.close();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "zindor-whois: ファイル " + home +
                  "Whois.lst を作成できません\nzindor-whois: ファイル " + home +
                  "Hosts.lst を作成できません\n");
    EXPECT_TRUE(messages_.isEmpty());
}

// The reason is said in words the user can act on; an errno without words keeps the system's.
TEST(SettingsNotSaved, NamesTheFileAndTheReason) {
    const std::pair<int, const char*> rows[] = {
        {ENOSPC, "ディスクがいっぱいです"},
        {EDQUOT, "ディスクがいっぱいです"},
        {EROFS, "読み取り専用のファイルシステムです"},
        {EACCES, "書き込みが許可されていません (読み取り専用)"},
        {EPERM, "書き込みが許可されていません (読み取り専用)"},
        {0, "原因は不明です"},
        {EISDIR, "Is a directory"}};
    for (const auto& [error, reason] : rows)
        EXPECT_EQ(TMainForm::SettingsNotSavedText("/h/z.ini", error),
                  QString::fromUtf8("設定を保存できません。\nファイル: /h/z.ini\n理由: ") + reason)
            << error;
}

using SettingsAtClose = FormFixture;

// A box only when someone asked for the close (File > Exit); the close a signal or the
// session's end makes leaves the box out, and a file that can be written says nothing.
TEST_F(SettingsAtClose, UnwritableSettingsAreSaidInABoxOnlyWhenTheUserCloses) {
    const std::tuple<bool, bool, int> rows[] = {// writable, by the user, boxes
                                                {false, true, 1},
                                                {false, false, 0},
                                                {true, true, 0}};
    for (const auto& [writable, byUser, boxes] : rows) {
        SCOPED_TRACE(std::to_string(writable) + std::to_string(byUser));
        messages_.clear();
        TMainForm& form = Start();
        const std::string file = paths_.SettingsFile();
        std::filesystem::remove_all(file);
        if (!writable)
            std::filesystem::create_directory(file); // EISDIR, also as root
        if (byUser)
            form.CloseAction->trigger();
        else
            form.close();
        ASSERT_EQ(messages_.size(), boxes);
        if (boxes) {
            EXPECT_EQ(messages_[0], QString::fromStdString("設定を保存できません。\nファイル: " +
                                                           file + "\n理由: Is a directory"));
        }
        form_.reset();
        std::filesystem::remove_all(file);
    }
}

// "Cannot create" only for a folder that could not be made; one that exists but cannot be
// written says so. The short text (the status bar's) never names the path.
TEST(HomeProblem, SaysWhetherTheFolderIsMissingOrReadOnly) {
    const std::tuple<settings::HomeStatus, const char*, const char*> rows[] = {
        {{false, "/h/", "Not a directory", false},
         "フォルダ /h/ を作成できません (Not a directory)。設定と履歴は保存されません",
         "設定フォルダを作成できません。設定は保存されません"},
        {{false, "/h/", "Read-only file system", true},
         "フォルダ /h/ に書き込めません (Read-only file system)。設定と履歴は保存されません",
         "設定フォルダに書き込めません。設定は保存されません"}};
    for (const auto& [home, whole, brief] : rows) {
        EXPECT_EQ(mainview::HomeProblemText(home), QString::fromUtf8(whole));
        EXPECT_EQ(mainview::HomeProblemShortText(home), QString::fromUtf8(brief));
    }
}
