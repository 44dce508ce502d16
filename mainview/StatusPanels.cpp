#include "mainview/StatusPanels.h"

#include <QLabel>
#include <QResizeEvent>

#include <algorithm>

namespace mainview {

TStatusPanels::TStatusPanels(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    for (int i = 0; i < PanelCount; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(i));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setIndent(2);
        label->setTextFormat(Qt::PlainText);
        panels_[static_cast<std::size_t>(i)] = label;
    }
    setMinimumHeight(fontMetrics().height() + 8);
}

QString TStatusPanels::PanelText(int index) const {
    return panels_.at(static_cast<std::size_t>(index))->text();
}

void TStatusPanels::SetPanelText(int index, const QString& text) {
    panels_.at(static_cast<std::size_t>(index))->setText(text);
}

int TStatusPanels::PanelWidth(int index) const {
    return widths_.at(static_cast<std::size_t>(index));
}

void TStatusPanels::SetPanelWidth(int index, int width) {
    widths_.at(static_cast<std::size_t>(index)) = width;
    PlacePanels();
}

void TStatusPanels::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    emit Resized();
    PlacePanels();
}

void TStatusPanels::paintEvent(QPaintEvent*) {}

void TStatusPanels::PlacePanels() {
    int x = 0;
    const int h = height() - 2;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        // A negative width (a bar narrower than its fixed panels) shows as nothing.
        const int w = std::max(0, widths_[i]);
        panels_[i]->setGeometry(x, 1, w, std::max(0, h));
        panels_[i]->setVisible(w > 0);
        x += w;
    }
}

} // namespace mainview
