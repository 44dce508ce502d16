// The program entry: the application, the main window and the message loop.
#include "mainview/AppPaths.h"
#include "mainview/Application.h"
#include "mainview/Language.h"
#include "mainview/MainView.h"
#include "mainview/MessageHooks.h"
#include "mainview/StartEnd.h"

#include "dialogs/HtmlHelp.h"
#include "dialogs/WSInfo.h"
#include "platform/Privileges.h"
#include "platform/qt/QtMainThread.h"
#include "settings/IniParam.h"

#include <QCommandLineParser>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <exception>
#include <memory>

namespace {

struct Options {
    QString home;
    QString lang;
    bool minimized = false;
    bool maximized = false;
    QString screenshot;
    QString screenshotWinSock;
};

Options ParseOptions(const QStringList& arguments) {
    // The X11 habit "-iconic" means the same as --minimized; Qt's parser would read it as
    // a cluster of one-letter options, so it is taken out first.
    QStringList args = arguments;
    Options options;
    if (args.removeAll(QStringLiteral("-iconic")) > 0)
        options.minimized = true;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("WHOIS and network information client"));
    parser.addHelpOption();
    const QCommandLineOption home(QStringLiteral("home"),
                                  QStringLiteral("Keep settings, histories and directory in DIR."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption lang(
        QStringLiteral("lang"),
        QStringLiteral("Window language: ja or en (default: Japanese under a Japanese locale)."),
        QStringLiteral("LANG"));
    const QCommandLineOption minimized(QStringLiteral("minimized"),
                                       QStringLiteral("Start hidden in the notification area."));
    const QCommandLineOption maximized(QStringLiteral("maximized"),
                                       QStringLiteral("Start with the window maximized."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the window to FILE and exit."), QStringLiteral("FILE"));
    const QCommandLineOption screenshotWinSock(
        QStringLiteral("screenshot-winsock"),
        QStringLiteral("Save a picture of the WinSock information dialog to FILE and exit."),
        QStringLiteral("FILE"));
    parser.addOptions({home, lang, minimized, maximized, screenshot, screenshotWinSock});
    parser.process(args);
    options.home = parser.value(home);
    options.lang = parser.value(lang);
    options.minimized = options.minimized || parser.isSet(minimized);
    options.maximized = parser.isSet(maximized);
    options.screenshot = parser.value(screenshot);
    options.screenshotWinSock = parser.value(screenshotWinSock);
    return options;
}

} // namespace

int main(int argc, char** argv) {
    // No capability in the window, not even one set on its file by hand: Qt loads plugins
    // from paths the user's environment names. The probe helper holds CAP_NET_RAW.
    platform::DropStartCapabilities();
    // Before any thread exists, so every thread inherits the handlers' disposition.
    mainview::PrepareEndSignals();
    // The help viewer is looked for before anything else starts.
    THtmHelp::LoadLibrary();
    mainview::TZwApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zindor-whois"));
    mainview::SetApplicationTitle(QStringLiteral("Zindor Whois"));
    mainview::SetProgramIcon();
    const Options options = ParseOptions(QApplication::arguments());
    const auto language = mainview::ChooseLanguage(options.lang, QLocale::system());
    if (!language) {
        std::fputs("zindor-whois: --lang takes ja or en\n", stderr);
        return 2;
    }
    // Without its translation the window is still usable, in Japanese.
    QTranslator translator;
    if (!mainview::InstallTranslation(*language, translator))
        std::fputs("zindor-whois: the English translation is missing\n", stderr);
    // Qt's own texts (standard buttons, file and font dialogs, edit menus) in the same
    // language; without the translation package they stay English.
    QTranslator qtTranslator;
    mainview::InstallQtTranslation(*language, qtTranslator);

    // Workers hand their results to Qt's GUI thread.
    platform::QtMainThread mainThread;
    mainThread.SetErrorHandler([](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            mainview::ShowError(QString::fromUtf8(e.what()));
        } catch (...) {
            mainview::ShowError(QStringLiteral("Unknown error"));
        }
    });
    platform::InstallMainThread(&mainThread);

    const mainview::AppPaths paths = mainview::ResolvePaths(
        QApplication::applicationFilePath().toStdString(), options.home.toStdString());
    const settings::HomeStatus home = mainview::PrepareHome(paths);

    int result = 0;
    {
        auto form = std::make_unique<TMainForm>(paths);
        mainview::ShowAtStart(*form, options.minimized, options.maximized);
        mainview::ReportHomeProblem(*form, home);
        // A signal closes the window as the user would; so does the session's end.
        mainview::WatchEndSignals(form.get(), [&form] { form->close(); });
        mainview::WatchSessionEnd(*form);
        if (!options.screenshot.isEmpty()) {
            QTimer::singleShot(1500, form.get(), [&form, &options] {
                form->grab().save(options.screenshot);
                form->close();
            });
        }
        if (!options.screenshotWinSock.isEmpty()) {
            QTimer::singleShot(1500, form.get(), [&form, &options] {
                TWSDialog dialog(form.get());
                dialog.show();
                QTimer::singleShot(500, &dialog, [&dialog, &options] {
                    dialog.grab().save(options.screenshotWinSock);
                    dialog.accept();
                });
                dialog.exec();
                form->close();
            });
        }
        result = QApplication::exec();
        // Destroying the window runs its destruction handler.
    }
    // The settings are written as the program ends, here rather than at the settings
    // record's own end so that a failure reads in the window's language; nothing waits on it.
    mainview::ReportOnStderr([] { InitParam.Save(); });
    InitParam.FFileName.clear();
    platform::InstallMainThread(nullptr);
    THtmHelp::FreeLibrary();
    return result;
}
