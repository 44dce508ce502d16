#include "mainview/MessageHooks.h"

#include "mainview/Application.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

namespace mainview {

namespace {

MessageHook& Hook() {
    static MessageHook hook;
    return hook;
}

} // namespace

MessageHook SetMessageHook(MessageHook hook) {
    MessageHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

void ShowMessage(QWidget* parent, const QString& text) {
    if (Hook()) {
        Hook()(text);
        return;
    }
    QMessageBox::information(parent, ApplicationTitle(), text);
}

void ShowError(const QString& text) {
    if (Hook()) {
        Hook()(text);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), ApplicationTitle(), text);
}

void RunGuarded(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(QStringLiteral("Unknown error"));
    }
}

} // namespace mainview
