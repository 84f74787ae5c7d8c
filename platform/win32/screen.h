// The screen on Win32: the whole screen's device context from GetDC(NULL) and the cursor from
// GetCursorPos and SetCursorPos, all in physical pixels.
#pragma once

#include "platform/platform.h"

namespace tintvale::win32 {

class Win32Screen : public ScreenServices {
 public:
  std::unique_ptr<ScreenContext> GetScreen() override;
  bool CursorPos(ScreenPoint& point) override;
  bool MovePointer(ScreenPoint point) override;
};

}  // namespace tintvale::win32
