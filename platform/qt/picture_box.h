// A picture box: a sunken two-pixel border round a background colour, and optionally the program icon.
// It takes the focus from the keyboard only (a click leaves it where it is), as a graphic would.
#pragma once

#include <QPixmap>
#include <QWidget>

#include "forms/layout.h"

namespace tintvale::qt {

class LiveReports;

class PictureBox : public QWidget {
 public:
  PictureBox(QWidget* parent, bool showsIcon);
  // Repaints only for a new colour; false when the colour is the one shown.
  bool SetColor(ColorValue c);
  ColorValue Color() const { return color_; }
  // Named by its colour for assistive technology; a live one's name changes are reported through reports.
  void NameByColor(LiveReports* reports) { namedByColor_ = true, reports_ = reports; }
  bool NamedByColor() const { return namedByColor_; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  QRect Interior() const { return rect().adjusted(2, 2, -2, -2); }

  bool showsIcon_;
  ColorValue color_ = kDefaultColor;
  QPixmap icon_;
  bool namedByColor_ = false;
  LiveReports* reports_ = nullptr;
};

}  // namespace tintvale::qt
