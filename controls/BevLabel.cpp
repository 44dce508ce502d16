#include "controls/BevLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

namespace {

// Draws `width` one-pixel rings along the edges of r, each with its top and left edges in
// `topLeft` and its bottom and right edges in `bottomRight` (the bottom-right colour owns
// the top-right and bottom-left corners), and shrinks r past them.
void Frame3D(QPainter& painter, QRect& r, const QColor& topLeft, const QColor& bottomRight,
             int width) {
    for (; width > 0 && r.width() > 0 && r.height() > 0; --width) {
        painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
        r.adjust(1, 1, -1, -1);
    }
}

void Bevel(QPainter& painter, QRect& r, TBevelCut cut, int width, const QPalette& palette) {
    const QColor shadow = palette.color(QPalette::Dark);
    const QColor highlight = palette.color(QPalette::Light);
    if (cut == bvLowered)
        Frame3D(painter, r, shadow, highlight, width);
    else
        Frame3D(painter, r, highlight, shadow, width);
}

} // namespace

TBevelLabel::TBevelLabel(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
}

void TBevelLabel::SetBevelInner(TBevelCut value) {
    FBevelInner = value;
    update();
}

void TBevelLabel::SetBevelOuter(TBevelCut value) {
    FBevelOuter = value;
    update();
}

void TBevelLabel::SetBevelWidth(int value) {
    FBevelWidth = value;
    update();
}

void TBevelLabel::SetBorderWidth(int value) {
    FBorderWidth = value;
    update();
}

void TBevelLabel::SetDown(bool value) {
    if (value == FDown)
        return;
    FDown = value;
    FBevelInner = value ? bvLowered : bvRaised;
    FBevelOuter = bvNone;
    update();
}

void TBevelLabel::SetTextBorder(int value) {
    if (value == FTextBorder)
        return;
    FTextBorder = value;
    update();
}

void TBevelLabel::SetLineBorder(int value) {
    if (value == FLineBorder)
        return;
    FLineBorder = value;
    update();
}

void TBevelLabel::SetTextOffset(int value) {
    if (value == FTextOffset)
        return;
    FTextOffset = value;
    update();
}

void TBevelLabel::SetColor(const QColor& value) {
    FColor = value;
    update();
}

void TBevelLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    const QColor fill = FColor.isValid() ? FColor : pal.color(QPalette::Window);
    QRect r = rect();

    if (FBevelOuter != bvNone)
        Bevel(painter, r, FBevelOuter, FBevelWidth, pal);
    Frame3D(painter, r, fill, fill, FBorderWidth);
    if (FBevelInner != bvNone)
        Bevel(painter, r, FBevelInner, FBevelWidth, pal);
    painter.fillRect(r, fill);

    r.adjust(FTextBorder, FTextBorder, -FTextBorder, -FTextBorder);
    int flags = Qt::TextExpandTabs | (alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignTop;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    r.setLeft(r.left() + FTextOffset);

    painter.setFont(font());
    // A CR LF pair (and a lone CR) breaks the line, as in the texts of version records.
    QString caption = text();
    caption.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const Qt::Alignment vertical = alignment() & Qt::AlignVertical_Mask;
    if (vertical == Qt::AlignBottom || vertical == Qt::AlignVCenter) {
        const int textHeight = painter.boundingRect(r, flags, caption).height();
        const int freeHeight = r.height() + 1 - textHeight;
        r.translate(0, vertical == Qt::AlignBottom ? freeHeight : freeHeight / 2);
    }

    painter.setClipRect(r);
    if (isEnabled()) {
        painter.setPen(pal.color(QPalette::WindowText));
        painter.drawText(r, flags, caption);
    } else {
        // Disabled text is embossed: a highlight copy one pixel down-right under the shadow.
        painter.setPen(pal.color(QPalette::Light));
        painter.drawText(r.translated(1, 1), flags, caption);
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawText(r, flags, caption);
    }
}
