// A minimised start on a real X server (Xvfb), without and then with a notification area
// (trayer as its host): the window must always be reachable. The program makes its own X
// server and tray host, and skips when the system has none.
#include "mainview/Application.h"
#include "mainview/MainView.h"
#include "mainview/StartEnd.h"

#include "platform/TextFile.h"
#include "platform/qt/QtMainThread.h"
#include "settings/IniParam.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QWindow>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string g_skipReason; // why the X server is missing, if it is

bool Runnable(const char* name) {
    const std::string path = std::string("/usr/bin/") + name;
    return ::access(path.c_str(), X_OK) == 0;
}

pid_t Spawn(const std::vector<std::string>& args, const posix_spawn_file_actions_t* actions) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

void End(pid_t& pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

// Starts Xvfb on a display it picks itself; returns the display's number or -1.
int StartXvfb(pid_t& pid) {
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid = Spawn(
        {"/usr/bin/Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
        &actions);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    char text[16] = {};
    ssize_t n = pid > 0 ? ::read(fds[0], text, sizeof text - 1) : -1;
    ::close(fds[0]);
    return n > 0 ? std::atoi(text) : -1;
}

bool PumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class TrayStart : public ::testing::Test {
protected:
    void SetUp() override {
        if (!g_skipReason.empty())
            GTEST_SKIP() << g_skipReason;
        ASSERT_TRUE(dir_.isValid());
        const std::string home = dir_.path().toStdString() + "/";
        paths_ = mainview::AppPaths{home, "zindor-whois", home};
        platform::WriteFileBytes(paths_.SettingsFile(), "WINDOWINFO=1,10,20,610,420\r\n");
    }
    void TearDown() override {
        form_.reset();
        InitParam.FFileName.clear();
        End(trayer_);
    }
    TMainForm& StartMinimised() {
        form_ = std::make_unique<TMainForm>(paths_);
        EXPECT_TRUE(form_->isMinimized()) << "the saved state";
        mainview::ShowAtStart(*form_, false, false);
        PumpUntil([] { return false; }, 300);
        return *form_;
    }
    QSystemTrayIcon* Icon() const { return form_->findChild<QSystemTrayIcon*>("TrayIcon"); }

    QTemporaryDir dir_;
    mainview::AppPaths paths_;
    std::unique_ptr<TMainForm> form_;
    pid_t trayer_ = -1;
};

} // namespace

TEST_F(TrayStart, WithoutANotificationAreaTheWindowIsMinimisedOnTheTaskBar) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    TMainForm& form = StartMinimised();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(form.windowHandle() && form.windowHandle()->isVisible());
    EXPECT_FALSE(Icon() && Icon()->isVisible());
}

TEST_F(TrayStart, WithANotificationAreaTheWindowWaitsThereAndComesBack) {
    if (!Runnable("trayer"))
        GTEST_SKIP() << "no trayer to host a notification area";
    trayer_ = Spawn({"/usr/bin/trayer", "--edge", "top", "--align", "right"}, nullptr);
    ASSERT_GT(trayer_, 0);
    ASSERT_TRUE(PumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000))
        << "trayer did not take the tray";
    TMainForm& form = StartMinimised();
    EXPECT_FALSE(form.isVisible());
    // Only the icon: the X server has not mapped the window (no exposure).
    EXPECT_FALSE(form.windowHandle() && form.windowHandle()->isExposed());
    ASSERT_TRUE(Icon());
    EXPECT_TRUE(Icon()->isVisible());
    EXPECT_EQ(Icon()->icon().pixmap(32, 32).toImage(),
              mainview::ProgramIcon().pixmap(32, 32).toImage())
        << "the program's own icon";
    // A click on the icon brings the window back and takes the icon away.
    form.TrayMessage(QSystemTrayIcon::Trigger);
    PumpUntil([&] { return form.isVisible(); }, 2000);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
    EXPECT_TRUE(PumpUntil([&] { return form.windowHandle()->isExposed(); }, 2000));
    EXPECT_FALSE(Icon()->isVisible());
}

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::string(argv[i]) == "--gtest_list_tests";
    pid_t xvfb = -1;
    if (listing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (!Runnable("Xvfb")) {
        g_skipReason = "no Xvfb to run an X server";
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        const int display = StartXvfb(xvfb);
        if (display < 0) {
            g_skipReason = "Xvfb did not start";
            qputenv("QT_QPA_PLATFORM", "offscreen");
        } else {
            qputenv("DISPLAY", (":" + std::to_string(display)).c_str());
            qputenv("QT_QPA_PLATFORM", "xcb");
        }
    }
    int result = 0;
    {
        mainview::TZwApplication app(argc, argv);
        mainview::SetApplicationTitle(QStringLiteral("Zindor Whois"));
        mainview::SetProgramIcon();
        platform::QtMainThread mainThread;
        platform::InstallMainThread(&mainThread);
        testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
        InitParam.FFileName.clear();
        platform::InstallMainThread(nullptr);
    }
    End(xvfb);
    return result;
}
