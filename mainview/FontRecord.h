#pragma once

#include "settings/IniParam.h"

#include <QColor>
#include <QFont>

namespace mainview {

// The settings file keeps a font as a Windows font record; the window uses Qt fonts.
// Families Linux lacks are left to fontconfig's substitution.
QFont ToQFont(const TFontRecord& record);
// The colour of a record: invalid for a system colour (the widget's own text colour).
QColor RecordColor(const TFontRecord& record);
// The record of a font and text colour (invalid: the system's window text). The character
// set is taken from `previous`, since Qt fonts do not carry one.
TFontRecord ToFontRecord(const QFont& font, const QColor& color, const TFontRecord& previous);

} // namespace mainview
