// CreatePlatform for Windows: per-monitor DPI awareness first, then the Win32 services behind the seam.
#include <windows.h>

#include "platform/win32/dpi.h"
#include "platform/win32/screen.h"
#include "platform/win32/system.h"
#include "platform/win32/toolkit.h"

namespace tintvale {
namespace {

class Win32Platform : public Platform {
 public:
  explicit Win32Platform(HINSTANCE instance) : toolkit_(instance) {}
  Toolkit& Forms() override { return toolkit_; }
  ScreenServices& Screen() override { return screen_; }
  Registry& Reg() override { return system_; }
  ProcessStarter& Processes() override { return system_; }
  FileTest& Files() override { return system_; }
  MessageDialog& Messages() override { return system_; }

 private:
  win32::Win32Toolkit toolkit_;
  win32::Win32Screen screen_;
  win32::Win32System system_;
};

}  // namespace

std::unique_ptr<Platform> CreatePlatform(int /*argc*/, char** /*argv*/) {
  win32::DeclareDpiAwareness();
  return std::make_unique<Win32Platform>(GetModuleHandleW(nullptr));
}

}  // namespace tintvale
