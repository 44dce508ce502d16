#include "mainview/BusyAnimation.h"

#include <QPainter>

#include <algorithm>
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
    // A row of small computers with a magnifying glass sweeping over them; it fits the
    // strip the option panel has left, whatever its height.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double unit = std::min(48.0, height() - 4.0);
    if (unit < 10 || width() < 2 * unit)
        return;
    const double top = (height() - unit) / 2.0;
    const int count = std::max(1, static_cast<int>(width() / (unit * 1.4)));
    const double step = width() / static_cast<double>(count);

    p.setPen(QPen(QColor(0x40, 0x40, 0x40), std::max(1.0, unit / 24)));
    for (int i = 0; i < count; ++i) {
        const double x = step * i + (step - unit) / 2.0;
        p.setBrush(QColor(0xC8, 0xD8, 0xF0));
        p.drawRoundedRect(QRectF(x, top, unit, unit * 0.66), unit / 16, unit / 16);
        p.setBrush(QColor(0x90, 0x90, 0x90));
        p.drawRect(QRectF(x + unit * 0.3, top + unit * 0.72, unit * 0.4, unit * 0.12));
    }

    // Back and forth along the row.
    const double phase = static_cast<double>(frame_) / FrameCount;
    const double swing = 0.5 - 0.5 * std::cos(2 * M_PI * phase);
    const double r = unit * 0.28;
    const QPointF g(r + 2 + swing * (width() - 2 * r - 4 - unit * 0.2), top + unit * 0.36);
    p.setBrush(QColor(255, 255, 255, 150));
    p.setPen(QPen(QColor(0x20, 0x20, 0x60), std::max(1.5, unit / 14)));
    p.drawEllipse(g, r, r);
    p.drawLine(g + QPointF(r * 0.7, r * 0.7), g + QPointF(r * 1.5, r * 1.5));
}

} // namespace mainview
