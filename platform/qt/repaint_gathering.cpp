#include "platform/qt/repaint_gathering.h"

#include <utility>

namespace tintvale::qt {

GatheringWindow* GatheringWindow::Gathering(const QWidget* w) {
  auto* window = dynamic_cast<GatheringWindow*>(w->window());
  if (!window || window->ticks_ == 0 || !w->isVisible() || !w->updatesEnabled()) return nullptr;
  return window;
}

void GatheringWindow::Gather(const QWidget* w, const QRect& r) {
  gathered_ += QRect(w->mapTo(this, r.topLeft()), r.size());
}

void RequestRepaint(QWidget* w, const QRect& r) {
  if (GatheringWindow* window = GatheringWindow::Gathering(w)) {
    window->Gather(w, r);
  } else {
    w->update(r);
  }
}

HeldRepaints::HeldRepaints(QWidget* w) : w_(w), window_(GatheringWindow::Gathering(w)) {
  if (window_) w_->setAttribute(Qt::WA_UpdatesDisabled, true);
}

HeldRepaints::~HeldRepaints() {
  if (!window_) return;
  w_->setAttribute(Qt::WA_UpdatesDisabled, false);
  window_->Gather(w_, w_->rect());
}

TickRepaints::TickRepaints(GatheringWindow* window) : window_(window) {
  if (window) ++window->ticks_;
}

// QWidget::repaint paints and flushes to the X server straight away; it does nothing for a window that is
// hidden or not exposed yet, whose next expose paints everything anyway.
TickRepaints::~TickRepaints() {
  if (!window_ || --window_->ticks_ > 0 || window_->gathered_.isEmpty()) return;
  const QRegion region = std::exchange(window_->gathered_, QRegion());
  window_->repaint(region);
}

}  // namespace tintvale::qt
