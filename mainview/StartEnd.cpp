#include "mainview/StartEnd.h"

#include "mainview/MainView.h"
#include "mainview/StatusPanels.h"

#include "settings/AppPaths.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace mainview {

void ShowAtStart(TMainForm& form, bool minimized, bool maximized) {
    if (form.isMinimized() || minimized) {
        // HideActionExecute falls back to a minimised window when there is no tray.
        QTimer::singleShot(0, &form, [&form] { form.HideActionExecute(); });
    } else if (maximized) {
        form.showMaximized();
    } else {
        form.show();
    }
}

QString HomeProblemText(const settings::HomeStatus& home) {
    if (home.Usable)
        return {};
    const QString reason = QString::fromStdString(home.Reason);
    if (home.Folder.empty())
        return QCoreApplication::translate(
                   "StartEnd", "ホームフォルダがありません (%1)。設定と履歴は保存されません")
            .arg(reason);
    if (home.ReadOnly)
        return QCoreApplication::translate(
                   "StartEnd", "フォルダ %1 に書き込めません (%2)。設定と履歴は保存されません")
            .arg(QString::fromStdString(home.Folder), reason);
    return QCoreApplication::translate(
               "StartEnd", "フォルダ %1 を作成できません (%2)。設定と履歴は保存されません")
        .arg(QString::fromStdString(home.Folder), reason);
}

QString HomeProblemShortText(const settings::HomeStatus& home) {
    if (home.Usable)
        return {};
    if (home.Folder.empty())
        return QCoreApplication::translate("StartEnd",
                                           "ホームフォルダがありません。設定は保存されません");
    if (home.ReadOnly)
        return QCoreApplication::translate("StartEnd",
                                           "設定フォルダに書き込めません。設定は保存されません");
    return QCoreApplication::translate("StartEnd",
                                       "設定フォルダを作成できません。設定は保存されません");
}

void ReportHomeProblem(TMainForm& form, const settings::HomeStatus& home) {
    const QString text = HomeProblemText(home);
    if (text.isEmpty())
        return;
    std::fprintf(stderr, "zindor-whois: %s\n", text.toUtf8().constData());
    // A folder's path and the system's words do not fit the panel at the window's default
    // width: the panel says what happened, its tip (like stderr) where and why.
    form.StatusBar1->SetPanelText(1, HomeProblemShortText(home));
    form.StatusBar1->setToolTip(text);
}

namespace {

// The self-pipe: the handler only writes the signal's number, the main thread reads it.
std::array<int, 2> g_endPipe{-1, -1};

extern "C" void OnEndSignal(int signal) {
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] ssize_t n = ::write(g_endPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool PrepareEndSignals() {
    if (g_endPipe[0] >= 0)
        return true;
    if (::pipe2(g_endPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGHUP, &action, nullptr) == 0;
}

void WatchEndSignals(QObject* context, std::function<void()> end) {
    if (g_endPipe[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(g_endPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [end = std::move(end)] {
        char bytes[16];
        while (::read(g_endPipe[0], bytes, sizeof bytes) > 0) {
        }
        end();
    });
}

void WatchSessionEnd(TMainForm& form) {
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.SaveForSessionEnd(); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &form, [&form] {
        if (!form.Closed())
            form.close();
    });
}

} // namespace mainview
