// A window that Win32Toolkit builds from a layout: the native side (FormWindow), which outlives the
// NativeWindow while one of its handlers is on the stack, and the NativeWindow the forms layer owns.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/services.h"
#include "platform/win32/native.h"

namespace tintvale::win32 {

inline constexpr wchar_t kFormClass[] = L"TintvaleForm";
inline constexpr wchar_t kPictureClass[] = L"TintvalePicture";

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

// The native side of one window. It outlives its NativeWindow while one of its handlers is on the stack:
// a tick's pump can close the window, and the tick must then find this object still there.
class FormWindow {
 public:
  FormWindow(HINSTANCE instance, const WindowLayout& layout, WindowEvents& events);
  bool Create();
  // The owner is done with the window: destroy it now, delete this once no handler is running.
  void Release();

  HWND Handle() const { return hwnd_; }
  const WindowLayout& Layout() const { return layout_; }
  HWND Control(int index) const { return controls_[static_cast<std::size_t>(index)]; }
  ColorValue& ColorOf(int index) { return colors_[static_cast<std::size_t>(index)]; }
  bool Alive() const { return events_ != nullptr; }
  WindowEvents* Events() const { return events_; }
  void SetNativeText(HWND control, const Text& text);
  void SetBoxText(int index, const Text& text);
  Text BoxText(int index) const;
  bool CopySetText(HWND edit, int index);
  void SetColor(int index, ColorValue color);
  void StartTimer(int index, bool enabled, int intervalMs);

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  friend class HandlerScope;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnEditMessage(HWND edit, int index, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnPictureMessage(HWND picture, int index, UINT msg, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code, HWND from);
  void OnSetFocus();
  void Paint();
  void Place(UINT dpi);
  int IndexOf(HWND control) const;
  int FindButton(bool ControlLayout::*flag) const;
  bool IsCommandButton(HWND control) const;

  HINSTANCE instance_;
  WindowLayout layout_;
  WindowEvents* events_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  std::vector<HWND> controls_;
  std::vector<WNDPROC> editProcs_;
  std::vector<ColorValue> colors_;
  std::vector<Text> setText_;    // what the program last set in each text box
  std::vector<Text> shownText_;  // and how the box shows it
  std::vector<bool> ticking_;
  std::vector<GdiObject<HFONT>> fonts_;
  std::vector<GdiObject<HBRUSH>> brushes_;
  GdiObject<HFONT> defaultFont_;
  HICON icon_ = nullptr;
  HWND lastFocus_ = nullptr;
  int handlers_ = 0;
  int settingText_ = 0;
  bool released_ = false;
};

// The NativeWindow the forms layer owns; it lets go of the FormWindow when destroyed.
class Win32Window : public NativeWindow {
 public:
  explicit Win32Window(FormWindow* window) : w_(window) {}
  ~Win32Window() override { w_->Release(); }
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  HWND Handle() const { return w_->Handle(); }

  void Show() override {
    ShowWindow(w_->Handle(), SW_SHOW);
    UpdateWindow(w_->Handle());
  }
  void SetCaption(int control, const Text& caption) override {
    HWND target = control == kWindowItself ? w_->Handle() : w_->Control(control);
    if (target) w_->SetNativeText(target, caption);
  }
  Text GetText(int control) const override {
    HWND target = control == kWindowItself ? w_->Handle() : w_->Control(control);
    if (!target) return Text();
    if (control != kWindowItself && w_->Layout().controls[static_cast<std::size_t>(control)].kind ==
                                        ControlKind::TextBox) {
      return w_->BoxText(control);
    }
    const int length = GetWindowTextLengthW(target);
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(target, buffer.data(), length + 1);
    return FromWide(buffer.data(), static_cast<std::size_t>(std::max(got, 0)));
  }
  void SetText(int control, const Text& text) override {
    if (w_->Control(control)) w_->SetBoxText(control, text);
  }
  void SetBackColor(int control, ColorValue color) override { w_->SetColor(control, color); }
  int CheckValue(int control) const override {
    HWND target = w_->Control(control);
    return target ? static_cast<int>(SendMessageW(target, BM_GETCHECK, 0, 0)) : 0;
  }
  void SetFocus(int control) override {
    HWND target = control == kWindowItself ? w_->Handle() : w_->Control(control);
    if (target) ::SetFocus(target);
  }
  void SetTopmost(bool onTop) override {
    SetWindowPos(w_->Handle(), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);  // 0x43
  }
  void SetTimer(int control, bool enabled, int intervalMs) override {
    if (w_->Handle()) w_->StartTimer(control, enabled, intervalMs);
  }

 private:
  FormWindow* w_;
};

// The window handle behind a window this toolkit built.
HWND WindowHandle(NativeWindow& window);

}  // namespace tintvale::win32
