#include "mainview/Application.h"

#include "mainview/MessageHooks.h"

#include <exception>

namespace mainview {

namespace {

QString& Title() {
    static QString title;
    return title;
}

} // namespace

QString ApplicationTitle() {
    return Title();
}

void SetApplicationTitle(const QString& title) {
    Title() = title;
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
