// Tintvale's values as Qt's: texts (both UTF-16, copied unit for unit), colours, fonts and twips rectangles.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include "forms/layout.h"

namespace tintvale::qt {

inline QString ToQString(const Text& t) {
  return QString(reinterpret_cast<const QChar*>(t.data()), static_cast<qsizetype>(t.size()));
}
inline Text FromQString(const QString& s) { return Text(reinterpret_cast<const char16_t*>(s.utf16()), s.size()); }

// A colour value as a colour; kButtonFaceColor is the application palette's button colour.
QColor ToQColor(ColorValue c);
// The font a layout names; the application font when it names no family.
QFont ToQFont(const FontSpec& font);
// Logical pixels for a place and size in twips.
QRect TwipsRect(int left, int top, int width, int height);

}  // namespace tintvale::qt
