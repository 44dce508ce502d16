#include "mainview/FontRecord.h"

#include <cmath>

namespace mainview {

QFont ToQFont(const TFontRecord& record) {
    QFont font;
    font.setFamily(QString::fromStdString(record.Name));
    if (record.Size > 0)
        font.setPointSize(record.Size);
    font.setBold(record.Style & fsBold);
    font.setItalic(record.Style & fsItalic);
    font.setUnderline(record.Style & fsUnderline);
    font.setStrikeOut(record.Style & fsStrikeOut);
    if (record.Pitch == fpFixed) {
        font.setFixedPitch(true);
        font.setStyleHint(QFont::Monospace);
    }
    return font;
}

QColor RecordColor(const TFontRecord& record) {
    if (record.Color < 0)
        return QColor(); // a system colour
    const auto c = static_cast<std::uint32_t>(record.Color);
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

TFontRecord ToFontRecord(const QFont& font, const QColor& color, const TFontRecord& previous) {
    TFontRecord record;
    record.Name = font.family().toStdString();
    record.Charset = previous.Charset;
    record.Color =
        color.isValid()
            ? static_cast<std::int32_t>(color.red() | (color.green() << 8) | (color.blue() << 16))
            : clWindowText;
    record.Style = (font.bold() ? fsBold : 0) | (font.italic() ? fsItalic : 0) |
                   (font.underline() ? fsUnderline : 0) | (font.strikeOut() ? fsStrikeOut : 0);
    double points = font.pointSizeF();
    if (points <= 0 && font.pixelSize() > 0)
        points = font.pixelSize() * 72.0 / 96.0;
    record.Size = points > 0 ? static_cast<std::int32_t>(std::lround(points)) : previous.Size;
    record.Pitch = font.fixedPitch()           ? fpFixed
                   : previous.Pitch == fpFixed ? fpDefault
                                               : previous.Pitch;
    return record;
}

} // namespace mainview
