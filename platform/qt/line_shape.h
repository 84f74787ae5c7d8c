// A line control: a child widget that paints only its line and lets the mouse through.
#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>

#include "forms/layout.h"

namespace tintvale::qt {

class LineShape : public QWidget {
 public:
  // c.left, c.top to c.width, c.height in twips, c.lineWidthPx pixels wide.
  LineShape(QWidget* parent, const ControlLayout& c);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QPoint from_;
  QPoint to_;
  int width_ = 1;
  QColor color_;
};

}  // namespace tintvale::qt
