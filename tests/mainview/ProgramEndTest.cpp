// The program's start and end on paths a person takes without thinking: a start with a
// saved minimised window where there is no notification area, and the end of the program
// by a signal, which must save what closing the window saves.
#include "tests/mainview/FormFixture.h"

#include "mainview/Language.h"
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
#include <QRegularExpression>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>

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

// The program itself with a home that cannot be made, ended by SIGTERM: it says why at the
// start and each failed save at the end on stderr, in English here, and ends by itself.
TEST(ProgramEnd, HomeThatCannotBeMadeNeverHoldsUpTheEnd) {
    QTemporaryDir dir;
    platform::WriteFileBytes(dir.filePath("plain").toStdString(), "");
    const QString home = dir.filePath("plain/home/");
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8")); // the system's words
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ZW_EXECUTABLE), {"--home", home, "--lang", "en"});
    ASSERT_TRUE(program.waitForStarted(10000));
    QByteArray said;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!said.contains("zindor-whois: ") && std::chrono::steady_clock::now() < deadline) {
        program.waitForReadyRead(100);
        said += program.readAllStandardError();
    }
    ::kill(pid_t(program.processId()), SIGTERM);
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished();
        FAIL() << "the program did not end";
    }
    said += program.readAllStandardError();
    EXPECT_EQ(program.exitCode(), 0);
    const QString prefix = QStringLiteral("zindor-whois: Cannot create ");
    // Qt's own warnings may come between; the program's lines are all of its kind.
    const QStringList lines = QString::fromUtf8(said).split('\n').filter(
        QRegularExpression(QStringLiteral("^zindor-whois: ")));
    EXPECT_EQ(lines, QStringList({prefix + "folder " + home + " (Not a directory): settings and " +
                                      "histories are not saved",
                                  prefix + "file " + home + "Whois.lst",
                                  prefix + "file " + home + "Hosts.lst",
                                  prefix + "file " + home + "zindor-whois.ini"}));
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

// A home that cannot be made: the shipped directory and phrases are read, the start says
// once why nothing is kept, and the end reports its failed saves on stderr in the window's
// language instead of waiting on a message box.
TEST_F(ProgramStart, HomeThatCannotBeMadeStartsFromShippedFilesAndEndsWithoutABox) {
    const std::string root = dir_.path().toStdString() + "/";
    platform::WriteFileBytes(root + "plain", "");
    platform::WriteFileBytes(root + "Server.wis", "whois.shipped.example,-,example\r\n");
    platform::WriteFileBytes(root + "Servhit.key", "Domain Name:\r\n");
    paths_ = mainview::AppPaths{root + "bin/", "zindor-whois", root + "plain/home/", root};
    const settings::HomeStatus home = mainview::PrepareHome(paths_);
    ASSERT_FALSE(home.Usable);
    // The window's language, and how the save error at the end reads in it.
    const std::pair<bool, std::string> rows[] = {{false, "ファイル %1 を作成できません"},
                                                 {true, "Cannot create file %1"}};
    for (const auto& [english, form] : rows) {
        SCOPED_TRACE(form);
        QTranslator translator;
        if (english) {
            ASSERT_TRUE(mainview::InstallTranslation(mainview::Language::English, translator));
        }
        TMainForm& window = Start();
        EXPECT_EQ(window.PingTrace->FServerList,
                  std::vector<std::string>{"whois.shipped.example,-,example"});
        EXPECT_EQ(window.HitKeys, std::vector<std::string>{"Domain Name:"});
        testing::internal::CaptureStderr();
        mainview::ReportHomeProblem(window, home);
        const std::string said = testing::internal::GetCapturedStderr();
        const QString shown = window.StatusBar1->PanelText(1);
        EXPECT_TRUE(shown.contains(QString::fromStdString(root + "plain/home/")))
            << shown.toStdString();
        // The status line speaks the window's language too.
        EXPECT_EQ(shown.startsWith(QStringLiteral("Cannot create folder")), english);
        EXPECT_EQ(said, "zindor-whois: " + shown.toStdString() + "\n");
        window.WhoisServer->addItem(QStringLiteral("whois.a.example"));
        testing::internal::CaptureStderr();
        window.close();
        const std::string ended = testing::internal::GetCapturedStderr();
        form_.reset();
        EXPECT_TRUE(messages_.isEmpty()) << messages_.join('\n').toStdString();
        const auto line = [&](const char* name) {
            return "zindor-whois: " +
                   QString::fromStdString(form)
                       .arg(QString::fromStdString(root + "plain/home/" + name))
                       .toStdString() +
                   "\n";
        };
        EXPECT_EQ(ended, line("Whois.lst") + line("Hosts.lst"));
    }
}
