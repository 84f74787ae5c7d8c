#include "platform/qt/conversions.h"

#include <QApplication>
#include <QPalette>
#include <QStringList>
#include <algorithm>

namespace tintvale::qt {

QColor ToQColor(ColorValue c) {
  if (c == kButtonFaceColor) return QApplication::palette().color(QPalette::Button);
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

QRect TwipsRect(int left, int top, int width, int height) {
  const auto px = [](int twips) { return TwipsToPixels(twips, kLogicalDpi); };
  return QRect(px(left), px(top), px(width), px(height));
}

QFont ToQFont(const FontSpec& font) {
  QFont f = QApplication::font();
  if (font.families.empty()) return f;
  QStringList families;
  for (const Text& family : font.families) families << ToQString(family);
  f.setFamilies(families);
  if (font.pointSize > 0) f.setPointSize(font.pointSize);
  // Qt 6 weights use the same 100..900 scale as the layout.
  f.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 1, 1000)));
  f.setItalic(font.italic);
  f.setUnderline(font.underline);
  f.setStrikeOut(font.strikeout);
  return f;
}

}  // namespace tintvale::qt
