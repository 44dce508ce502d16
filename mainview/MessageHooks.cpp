#include "mainview/MessageHooks.h"

#include "mainview/Application.h"

#include <QApplication>
#include <QMessageBox>
#include <QRegularExpression>

#include <cstdio>
#include <exception>

namespace mainview {

namespace {

MessageHook& Hook() {
    static MessageHook hook;
    return hook;
}

// The settings library (no Qt) words its errors in Japanese; they are shown in the window's
// language, with the file name or value they carry.
QString InWindowLanguage(const QString& text) {
    static const char* const forms[] = {
        QT_TRANSLATE_NOOP("ErrorText", "ファイル %1 は開けません"),
        QT_TRANSLATE_NOOP("ErrorText", "ファイル %1 を作成できません"),
        QT_TRANSLATE_NOOP("ErrorText", "'%1' は整数ではありません"),
    };
    for (const char* form : forms) {
        const QStringList parts = QString::fromUtf8(form).split(QStringLiteral("%1"));
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(parts[0]) + "(.*)" + QRegularExpression::escape(parts[1])));
        const QRegularExpressionMatch match = pattern.match(text);
        if (match.hasMatch())
            return QCoreApplication::translate("ErrorText", form).arg(match.captured(1));
    }
    return text;
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

void ShowError(const QString& message) {
    const QString text = InWindowLanguage(message);
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

void ReportOnStderr(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        const QString text = InWindowLanguage(QString::fromUtf8(e.what()));
        std::fprintf(stderr, "zindor-whois: %s\n", text.toUtf8().constData());
    } catch (...) {
        std::fputs("zindor-whois: Unknown error\n", stderr);
    }
}

} // namespace mainview
