#include "mainview/Application.h"

#include "mainview/MessageHooks.h"

#include "platform/qt/AppTitle.h"

#include <exception>

namespace mainview {

QString ApplicationTitle() {
    return platform::ApplicationTitle();
}

void SetApplicationTitle(const QString& title) {
    platform::SetApplicationTitle(title);
}

QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/zindor-whois.svg"));
    icon.addFile(QStringLiteral(":/icons/zindor-whois-48.png"), QSize(48, 48));
    return icon;
}

void SetProgramIcon() {
    QApplication::setWindowIcon(ProgramIcon());
    // Lets the desktop match the windows with the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("zindor-whois"));
}

TZwApplication::TZwApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TZwApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace mainview
