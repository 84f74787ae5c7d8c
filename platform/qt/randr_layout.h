// The monitors of the X server the program's window lives on (XWayland's on a Wayland desktop), read
// through RandR on a connection of its own and read again when RandR reports a change: the layout the
// portal screen places its streams in. Without the server or RandR it lists no monitor.
#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "platform/qt/display_layout.h"

struct xcb_connection_t;

namespace tintvale::qt {

class RandrLayout : public DisplayLayout {
 public:
  explicit RandrLayout(const char* displayName);  // null: $DISPLAY
  ~RandrLayout() override;
  RandrLayout(const RandrLayout&) = delete;
  RandrLayout& operator=(const RandrLayout&) = delete;

  std::vector<LayoutMonitor> Monitors() override { return monitors_; }
  void OnChange(std::function<void()> changed) override { changed_ = std::move(changed); }
  bool PointerOverWindow(ScreenPoint& root) override;

 private:
  void Read();
  void TakeEvents();
  void TakeQueuedEvents();

  struct Disconnect {
    void operator()(xcb_connection_t* c) const;
  };
  std::unique_ptr<xcb_connection_t, Disconnect> connection_;
  int randrMinor_ = -1;
  int firstEvent_ = -1;
  std::vector<LayoutMonitor> monitors_;
  std::function<void()> changed_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer settle_;  // a change comes as several notices: read once they have stopped
};

}  // namespace tintvale::qt
