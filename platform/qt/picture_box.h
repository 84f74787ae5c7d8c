// A picture box: a sunken two-pixel border round a background colour, and optionally the program icon.
#pragma once

#include <QPixmap>
#include <QWidget>

#include "platform/layout.h"

namespace tintvale::qt {

class PictureBox : public QWidget {
 public:
  PictureBox(QWidget* parent, bool showsIcon);
  // Repaints only for a new colour; false when the colour is the one shown.
  bool SetColor(ColorValue c);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  QRect Interior() const { return rect().adjusted(2, 2, -2, -2); }

  bool showsIcon_;
  ColorValue color_ = kDefaultColor;
  QPixmap icon_;
};

}  // namespace tintvale::qt
