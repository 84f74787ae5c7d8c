// What the portal screen needs of the X server its window lives on (XWayland on a Wayland desktop): the
// monitors RandR lists, and word each time they change. Called on the user-interface thread only.
#pragma once

#include <functional>
#include <vector>

#include "platform/qt/screen_frames.h"

namespace tintvale::qt {

class DisplayLayout {
 public:
  virtual ~DisplayLayout() = default;
  // The monitors as last read; empty when RandR cannot tell.
  virtual std::vector<LayoutMonitor> Monitors() = 0;
  // changed runs after the monitors changed and have been read again (a burst of notices runs it once).
  virtual void OnChange(std::function<void()> changed) = 0;
  // The pointer in layout pixels, where the X server knows it for certain: over one of its windows.
  // XWayland knows the pointer only over its own windows, and answers "no window" elsewhere.
  virtual bool PointerOverWindow(ScreenPoint& root) = 0;
};

}  // namespace tintvale::qt
