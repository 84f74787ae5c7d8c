// The forms toolkit on plain Win32: windows built from layouts with EDIT, BUTTON and STATIC controls and
// an own swatch class, keyboard handling through IsDialogMessage, timers, the event pump and the clipboard.
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace tintvale::win32 {

class Win32Toolkit : public Toolkit {
 public:
  explicit Win32Toolkit(HINSTANCE instance);
  ~Win32Toolkit();
  Win32Toolkit(const Win32Toolkit&) = delete;
  Win32Toolkit& operator=(const Win32Toolkit&) = delete;

  std::unique_ptr<NativeWindow> BuildWindow(const WindowLayout& layout, WindowEvents& events,
                                            NativeWindow* owner) override;
  void PumpEvents() override;
  int Run() override;
  void Quit() override;
  bool SetClipboardText(const Text& text) override;
  Text CommandLine() override;

  // Hands a message to the window it is for, letting the form it belongs to translate dialog keys first.
  static void Dispatch(MSG& msg);

 private:
  HINSTANCE instance_;
  HWND clipboardOwner_ = nullptr;
  bool quitPosted_ = false;
  int exitCode_ = 0;
};

}  // namespace tintvale::win32
