#include "platform/qt/line_shape.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "platform/qt/conversions.h"

namespace tintvale::qt {

LineShape::LineShape(QWidget* parent, const ControlLayout& c) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  from_ = QPoint(TwipsToPixels(c.left, kLogicalDpi), TwipsToPixels(c.top, kLogicalDpi));
  to_ = QPoint(TwipsToPixels(c.width, kLogicalDpi), TwipsToPixels(c.height, kLogicalDpi));
  width_ = std::max(1, c.lineWidthPx);
  color_ = c.foreColor == kDefaultColor ? QColor(Qt::black) : ToQColor(c.foreColor);
  const QRect box = QRect(from_, to_).normalized().adjusted(0, 0, width_, width_);
  setGeometry(box);
  from_ -= box.topLeft();
  to_ -= box.topLeft();
}

void LineShape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (from_.y() == to_.y()) {
    // A rule: width_ rows from the line's y downwards, as wide as the line is long.
    p.fillRect(QRect(std::min(from_.x(), to_.x()), from_.y(), std::abs(to_.x() - from_.x()), width_), color_);
  } else if (from_.x() == to_.x()) {
    p.fillRect(QRect(from_.x(), std::min(from_.y(), to_.y()), width_, std::abs(to_.y() - from_.y())), color_);
  } else {
    p.setPen(QPen(color_, width_));
    p.drawLine(from_, to_);
  }
}

}  // namespace tintvale::qt
