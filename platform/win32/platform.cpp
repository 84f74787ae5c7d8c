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
  tintvale::Toolkit& Toolkit() override { return toolkit_; }
  tintvale::ScreenServices& ScreenServices() override { return screen_; }
  tintvale::Registry& Registry() override { return system_; }
  tintvale::ProcessStarter& ProcessStarter() override { return system_; }
  tintvale::FileTest& FileTest() override { return system_; }
  tintvale::MessageDialog& MessageDialog() override { return system_; }

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
