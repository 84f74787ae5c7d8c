#include "platform/qt/picture_box.h"

#include <QtWidgets/qdrawutil.h>
#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>

#include "platform/qt/accessibility.h"
#include "platform/qt/conversions.h"
#include "platform/qt/repaint_gathering.h"
#include "platform/qt/toolkit.h"
#include "resources/icon.h"

namespace tintvale::qt {

PictureBox::PictureBox(QWidget* parent, bool showsIcon) : QWidget(parent), showsIcon_(showsIcon) {
  // In the tab order, but a click gives it no focus: a screen reader would follow the focus to it first.
  setFocusPolicy(Qt::TabFocus);
  // Not marked opaque, although it paints every pixel: a repaint of the window's region leaves opaque
  // children out, and a tick's changes are repainted that way (see TickRepaints).
  if (showsIcon_) icon_ = ProgramQIcon().pixmap(IconImage::kSize, IconImage::kSize);
}

bool PictureBox::SetColor(ColorValue c) {
  if (c == color_) return false;
  color_ = c;
  // A new colour changes only the inside: the border is left as it is on the screen (the swatch
  // changes colour up to 100 times a second, and redrawing the border each time doubled its cost).
  RequestRepaint(this, Interior());
  if (namedByColor_ && QAccessible::isActive()) {
    if (reports_) {
      reports_->NameChanged(this);
    } else {
      QAccessibleEvent event(this, QAccessible::NameChanged);
      QAccessible::updateAccessibility(&event);
    }
  }
  return true;
}

void PictureBox::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  const QColor back = color_ == kDefaultColor ? palette().color(QPalette::Button) : ToQColor(color_);
  const QRect inside = Interior();
  p.fillRect(inside, back);
  if (!inside.contains(e->rect())) qDrawWinPanel(&p, rect(), palette(), true, nullptr);
  if (showsIcon_) p.drawPixmap(2, 2, icon_);
}

}  // namespace tintvale::qt
