// A timer tick's repaints, gathered while it runs and made together when it ends, in one pass. A repaint
// left to the event loop posts an event, and waking the loop for it took three system calls a tick.
// Controls ask through RequestRepaint and HeldRepaints; a window's timer opens a TickRepaints per tick.
#pragma once

#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QWidget>

namespace tintvale::qt {

// The top-level widget of a window whose ticks gather their repaints.
class GatheringWindow : public QWidget {
 public:
  using QWidget::QWidget;

 private:
  friend void RequestRepaint(QWidget* w, const QRect& r);
  friend class HeldRepaints;
  friend class TickRepaints;
  // The window of w while a tick of it runs and w can be painted, else null.
  static GatheringWindow* Gathering(const QWidget* w);
  void Gather(const QWidget* w, const QRect& r);
  int ticks_ = 0;     // timer ticks running
  QRegion gathered_;  // what they changed, in the window's coordinates
};

// Repaints r of w: with the tick's other changes while a tick of its window runs, else from the event loop.
void RequestRepaint(QWidget* w, const QRect& r);

// While it lives, w's own repaint requests are held back when a tick of its window runs, and the whole of
// w is repainted with the tick's other changes instead.
class HeldRepaints {
 public:
  explicit HeldRepaints(QWidget* w);
  ~HeldRepaints();
  HeldRepaints(const HeldRepaints&) = delete;
  HeldRepaints& operator=(const HeldRepaints&) = delete;

 private:
  QWidget* w_;
  GatheringWindow* window_;  // null when no tick runs
};

// One timer tick of window: the repaints gathered meanwhile are made when the outermost tick ends.
class TickRepaints {
 public:
  explicit TickRepaints(GatheringWindow* window);
  ~TickRepaints();
  TickRepaints(const TickRepaints&) = delete;
  TickRepaints& operator=(const TickRepaints&) = delete;

 private:
  QPointer<GatheringWindow> window_;  // a handler may close the window
};

}  // namespace tintvale::qt
