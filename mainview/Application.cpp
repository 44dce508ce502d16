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
