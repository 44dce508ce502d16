#include "mainview/FormFrame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace mainview {

namespace {

QSize& ScreenOverride() {
    static QSize size;
    return size;
}

QSize ScreenSize() {
    if (!ScreenOverride().isEmpty())
        return ScreenOverride();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry().size();
    return QSize(1024, 768);
}

} // namespace

void TFormFrame::SetScreenSizeOverride(QSize size) {
    ScreenOverride() = size;
}

TWindowState TFormFrame::WindowState() const {
    const Qt::WindowStates s = window_->windowState();
    if (s & Qt::WindowMinimized)
        return wsMinimized;
    if (s & Qt::WindowMaximized)
        return wsMaximized;
    return wsNormal;
}

void TFormFrame::SetWindowState(TWindowState state) {
    switch (state) {
    case wsMinimized:
        window_->setWindowState(Qt::WindowMinimized);
        break;
    case wsMaximized:
        window_->setWindowState(Qt::WindowMaximized);
        break;
    default:
        window_->setWindowState(Qt::WindowNoState);
        break;
    }
}

TRect TFormFrame::BoundsRect() const {
    // The bounds of the normal window also while it is minimised.
    const QRect g = window_->isMinimized() ? window_->normalGeometry() : window_->geometry();
    const QRect r = g.isValid() ? g : window_->geometry();
    return TRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

void TFormFrame::SetBounds(int left, int top, int width, int height) {
    window_->setGeometry(left, top, width, height);
}

int TFormFrame::ScreenWidth() const {
    return ScreenSize().width();
}

int TFormFrame::ScreenHeight() const {
    return ScreenSize().height();
}

} // namespace mainview
