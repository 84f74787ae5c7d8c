// A window that Win32Toolkit builds from a layout: the native side (FormWindow) with one object per
// control, which outlives the NativeWindow the forms layer owns while one of its handlers is on the stack.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/accessibility.h"
#include "platform/win32/control.h"
#include "platform/win32/native.h"

namespace tintvale::win32 {

inline constexpr wchar_t kFormClass[] = L"TintvaleForm";
inline constexpr int kIconPixels = 32;  // the program icon's own size

// The program icon from the resources at a size in pixels; shared with the system, never destroyed.
HICON LoadProgramIcon(HINSTANCE instance, int pixels);

class FormWindow;

// Counts a running handler of a window; the last one out deletes a window whose owner has let go.
class HandlerScope {
 public:
  explicit HandlerScope(FormWindow* window);
  ~HandlerScope();
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

 private:
  FormWindow* window_;
};

// The native side of one window. A tick's pump can close the window, and the tick must then find this
// object, and the control that called it, still there. To a screen reader a window with the fixed dialog
// border is a dialog.
class FormWindow final : private AccessibleSource {
 public:
  // owner: null, or the window this one is kept above (an owned window: above it also when it is
  // topmost, destroyed with it, and the activation goes back to it when this one closes).
  FormWindow(HINSTANCE instance, const WindowLayout& layout, WindowEvents& events, HWND owner);
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  bool Create();
  // The owner is done with the window: destroy it now, delete this once no handler is running.
  void Release();

  HWND Handle() const { return hwnd_; }
  UINT Dpi() const { return dpi_; }
  // The control at a layout index; null outside the layout.
  Control* ControlAt(int index) const;
  // Where this window's events go; null once the owner has let go.
  WindowEvents* Events() const { return events_; }
  // Released or destroyed: a handler that finds this after raising an event must touch nothing more.
  bool Gone() const { return released_ || !hwnd_; }
  // A control took the focus: its GotFocus, and the control the window gives the focus back to.
  void ControlFocused(const Control& control);
  // Whether a control lies at least partly inside the client area.
  bool InClientArea(const ControlLayout& c) const;
  // Whether the window has a command button with this flag (isDefault, isCancel).
  bool HasButton(bool ControlLayout::*flag) const { return FindButton(flag) != nullptr; }

  // The window procedure of kFormClass, which the toolkit registers.
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  friend class HandlerScope;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code, HWND from);
  void OnSetFocus();
  void Paint();
  void Place(UINT dpi);
  Control* ControlOf(HWND child) const;
  Control* FindButton(bool ControlLayout::*flag) const;
  bool AccessibleName(Text& name) const override;
  bool AccessibleValue(Text& value) const override;
  long AccessibleRole() const override;

  HINSTANCE instance_;
  HWND owner_;
  WindowLayout layout_;
  WindowEvents* events_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  std::vector<std::unique_ptr<Control>> controls_;  // one per layout entry, in layout order
  GdiObject<HFONT> defaultFont_;
  HWND lastFocus_ = nullptr;
  int handlers_ = 0;
  bool released_ = false;
  AccessibleServer accessible_{*this};
};

// A window built from a layout, hidden until shown, owned by owner when that is not null; null when the
// system would not make it.
std::unique_ptr<NativeWindow> MakeWindow(HINSTANCE instance, const WindowLayout& layout, WindowEvents& events,
                                         HWND owner);

// The window handle behind a window MakeWindow built.
HWND WindowHandle(NativeWindow& window);

}  // namespace tintvale::win32
