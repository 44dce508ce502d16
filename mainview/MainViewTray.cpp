// Hiding the window to the notification area and bringing it back.
#include "mainview/MainView.h"

#include "mainview/Application.h"
#include "mainview/History.h"
#include "mainview/MessageHooks.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

void TMainForm::HideActionExecute() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // Without a notification area a hidden window could never come back: it is only
        // minimised then, and shown so (a window minimised before it was ever shown, as
        // at a minimised start, is not on the task bar yet).
        if (!isMinimized() || !isVisible())
            showMinimized();
        return;
    }
    if (!trayIcon_) {
        trayIcon_ = new QSystemTrayIcon(this);
        trayIcon_->setObjectName(QStringLiteral("TrayIcon"));
        connect(trayIcon_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    mainview::RunGuarded([&] { TrayMessage(reason); });
                });
    }
    const QIcon icon =
        windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon) : windowIcon();
    trayIcon_->setIcon(icon);
    trayIcon_->setToolTip(mainview::ApplicationTitle());
    trayIcon_->show();
    // Leave the minimised state first, or the window comes back as an icon. Not for a window
    // never shown (a minimised start): leaving the state maps its X window, and the icon's
    // showNormal leaves it anyway.
    if (isVisible())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    hide();
}

void TMainForm::TrayMessage(int reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        showNormal();
        raise();
        activateWindow();
        trayIcon_->hide();
        break;
    case QSystemTrayIcon::Context: {
        const std::string text =
            mainview::TrimBlanks(QApplication::clipboard()->text().toStdString());
        ClipWhois->setEnabled(IsHostName(text));
        ClipWhois1->setText(ClipWhois->isEnabled()
                                ? QStringLiteral("whois ") + QString::fromStdString(text)
                                : QStringLiteral("whois..."));
        TrayPopup->popup(QCursor::pos());
        break;
    }
    default:
        break; // double clicks and the middle button do nothing more
    }
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimising hides the window to the notification area, also while an operation runs.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && isVisible() &&
        QSystemTrayIcon::isSystemTrayAvailable())
        QTimer::singleShot(0, this,
                           [this] { mainview::RunGuarded([this] { HideActionExecute(); }); });
}
