#include "platform/win32/screen.h"

#include <windows.h>

namespace tintvale::win32 {
namespace {

// The whole screen's device context from GetDC(NULL), given back with ReleaseDC when destroyed.
class ScreenDc : public ScreenContext {
 public:
  explicit ScreenDc(HDC dc) : dc_(dc) {}
  ~ScreenDc() override { ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ColorValue Pixel(std::int32_t x, std::int32_t y) override {
    return GetPixel(dc_, x, y);  // CLR_INVALID is all bits set, the same as kInvalidColor
  }

 private:
  HDC dc_;
};

}  // namespace

std::unique_ptr<ScreenContext> Win32Screen::GetScreen() {
  HDC dc = GetDC(nullptr);
  if (!dc) return nullptr;
  return std::make_unique<ScreenDc>(dc);
}

bool Win32Screen::CursorPos(ScreenPoint& point) {
  // Physical pixels because the process is per-monitor DPI aware, so monitors left of or above the
  // primary one give negative coordinates that GetPixel reads at the same place.
  POINT p;
  if (!GetCursorPos(&p)) return false;
  point = {p.x, p.y};
  return true;
}

bool Win32Screen::MovePointer(ScreenPoint point) {
  // The same physical pixels as GetCursorPos gives; the system keeps the pointer on the screen.
  return SetCursorPos(point.x, point.y) != FALSE;
}

}  // namespace tintvale::win32
