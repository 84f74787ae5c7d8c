// What the Win32 backend's tests under Wine share: a recorder of a window's events, a small layout with one
// of each control kind, waiting while messages are handled, and a fixture with the real platform.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "platform/platform.h"
#include "platform/win32/native.h"
#include "platform/win32/toolkit.h"
#include "platform/win32/window.h"

namespace tintvale::win32 {

inline std::string Show(const Text& t) { return TextToUtf8(t); }

// Waits for a condition while handling window messages, up to a deadline.
inline bool WaitFor(Toolkit& toolkit, const std::function<bool()>& done, DWORD ms = 3000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    toolkit.PumpEvents();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);  // wakes early for any message
  }
  return true;
}

struct Recorder : WindowEvents {
  std::vector<std::string> log;
  std::function<void(int, std::int16_t&)> onKey;
  std::function<void(int, std::int16_t&, std::int16_t)> onKeyDown;
  std::function<void(int)> onTick;
  std::function<void()> onClose;
  void KeyPress(int control, std::int16_t& key) override {
    log.push_back("key " + std::to_string(control) + " " + std::to_string(key));
    if (onKey) onKey(control, key);
  }
  void KeyDown(int control, std::int16_t& key, std::int16_t shift) override {
    log.push_back("keydown " + std::to_string(control) + " " + std::to_string(key) + " " + std::to_string(shift));
    if (onKeyDown) onKeyDown(control, key, shift);
  }
  void TextChanged(int control) override { log.push_back("change " + std::to_string(control)); }
  void Click(int control) override { log.push_back("click " + std::to_string(control)); }
  void GotFocus(int control) override { log.push_back("focus " + std::to_string(control)); }
  void TimerTick(int control) override {
    log.push_back("tick " + std::to_string(control));
    if (onTick) onTick(control);
  }
  void CloseRequested() override {
    log.push_back("close");
    if (onClose) onClose();
  }
  int Count(const std::string& entry) const {
    int n = 0;
    for (const auto& e : log) n += e == entry;
    return n;
  }
};

// A small window with one of each control kind the windows use.
enum : int { kEdit, kCheck, kPicture, kOk, kOther, kLabel, kTimer, kLine, kEdit2, kTimer2 };

inline WindowLayout TestLayout(bool withDefaultButton) {
  WindowLayout w;
  w.name = "Test";
  w.caption = u"Test window";
  w.clientWidth = 4500;
  w.clientHeight = 1800;
  w.originLeft = 1500;
  w.originTop = 1500;
  w.controls.resize(10);
  // A control on two lines, as a layout table reads (clang-format would give each field a line of its own).
  // clang-format off
  w.controls[kEdit] = {.kind = ControlKind::TextBox, .name = "Edit", .caption = u"start",
                       .left = 120, .top = 120, .width = 2000, .height = 300, .tabIndex = 1};
  w.controls[kCheck] = {.kind = ControlKind::CheckBox, .name = "Check", .caption = u"常に",
                        .left = 120, .top = 600, .width = 1500, .height = 300, .tabIndex = 3};
  w.controls[kPicture] = {.kind = ControlKind::PictureBox, .name = "Picture",
                          .left = 3000, .top = 120, .width = 735, .height = 735, .tabIndex = 0};
  w.controls[kOk] = {.kind = ControlKind::CommandButton, .name = "OK", .caption = u"OK",
                     .left = 120, .top = 1200, .width = 1200, .height = 400, .tabIndex = 4};
  w.controls[kOk].isDefault = withDefaultButton;
  w.controls[kOk].isCancel = withDefaultButton;
  w.controls[kOther] = {.kind = ControlKind::CommandButton, .name = "Other", .caption = u"&Other",
                        .left = 1500, .top = 1200, .width = 1200, .height = 400, .tabIndex = 5};
  w.controls[kLabel] = {.kind = ControlKind::Label, .name = "Label", .caption = u"座標",
                        .left = 2000, .top = 600, .width = 600, .height = 300, .tabIndex = 6};
  w.controls[kTimer] = {.kind = ControlKind::Timer, .name = "Timer"};
  w.controls[kTimer].intervalMs = 10;
  w.controls[kLine] = {.kind = ControlKind::Line, .name = "Line", .left = 90, .top = 1100, .width = 4400, .height = 1100};
  w.controls[kEdit2] = {.kind = ControlKind::TextBox, .name = "Edit2", .caption = u"",
                        .left = 2300, .top = 600, .width = 600, .height = 300, .tabIndex = 2};
  // clang-format on
  w.controls[kTimer2] = {.kind = ControlKind::Timer, .name = "Timer2"};
  w.controls[kTimer2].intervalMs = 10;
  return w;
}

class Win32Backend : public ::testing::Test {
 protected:
  void SetUp() override { platform = CreatePlatform(0, nullptr); }

  HWND Child(NativeWindow& w, int control) { return GetDlgItem(WindowHandle(w), 1000 + control); }

  // Delivers a key the way the message loop does: through the dialog manager of the window.
  void Key(HWND target, UINT vk, wchar_t ch) {
    MSG down = {target, WM_KEYDOWN, vk, 1, GetTickCount(), {}};
    Win32Toolkit::Dispatch(down);
    platform->Toolkit().PumpEvents();  // the WM_CHAR that TranslateMessage posted
    (void)ch;
  }

  std::unique_ptr<Platform> platform;
};

// The clipboard's text as another program reads it; "<busy>" while someone holds it open.
inline std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"<busy>";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

}  // namespace tintvale::win32
