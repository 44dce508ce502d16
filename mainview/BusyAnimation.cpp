#include "mainview/BusyAnimation.h"

#include <QPainter>

#include <cmath>

namespace mainview {

namespace {
constexpr int FrameCount = 24;
}

TBusyAnimation::TBusyAnimation(QWidget* parent) : QWidget(parent) {
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % FrameCount;
        update();
    });
}

void TBusyAnimation::Play() {
    frame_ = 0;
    timer_.start();
}

void TBusyAnimation::Stop() {
    timer_.stop();
}

void TBusyAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height());
    if (side < 24)
        return;
    const QPointF c(width() / 2.0, height() / 2.0);
    const double s = std::min(side, 96) / 96.0;

    // The computer: a screen on a foot.
    const QRectF screen(c.x() - 30 * s, c.y() - 24 * s, 60 * s, 40 * s);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 2 * s));
    p.setBrush(QColor(0xC8, 0xD8, 0xF0));
    p.drawRoundedRect(screen, 3 * s, 3 * s);
    p.setBrush(QColor(0x90, 0x90, 0x90));
    p.drawRect(QRectF(c.x() - 18 * s, c.y() + 18 * s, 36 * s, 6 * s));

    // The magnifying glass circling over the screen.
    const double angle = 2 * M_PI * frame_ / FrameCount;
    const QPointF g(c.x() + 18 * s * std::cos(angle), c.y() - 6 * s + 10 * s * std::sin(angle));
    p.setBrush(QColor(255, 255, 255, 150));
    p.setPen(QPen(QColor(0x20, 0x20, 0x60), 3 * s));
    p.drawEllipse(g, 11 * s, 11 * s);
    p.drawLine(g + QPointF(8 * s, 8 * s), g + QPointF(18 * s, 18 * s));
}

} // namespace mainview
