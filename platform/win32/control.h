// One control of a form window, as FormWindow owns it: its layout entry, its child window (none for a
// timer or a line) and what the window hands it, its own WM_COMMAND notifications and WM_CTLCOLOR*
// messages. What a kind does not have does nothing here. The kinds without behaviour of their own beyond
// a click, a colour or a tick (label, check box and command button, timer) are here too.
#pragma once

#include <windows.h>

#include "forms/layout.h"
#include "platform/win32/accessibility.h"
#include "platform/win32/native.h"

namespace tintvale::win32 {

class FormWindow;

inline constexpr int kFirstControlId = 1000;  // clear of IDOK and IDCANCEL, which IsDialogMessage sends itself
inline int ControlId(int index) { return kFirstControlId + index; }

// A colour value as a COLORREF; the default colour and the system colours as the system has them now.
COLORREF ResolveColor(ColorValue color, int systemDefault);

class Control : public AccessibleSource {
 public:
  Control(FormWindow& form, int index, const ControlLayout& layout);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  int Index() const { return index_; }
  const ControlLayout& Layout() const { return layout_; }
  HWND Handle() const { return hwnd_; }  // null for a timer and a line, and when creation failed

  // Makes the child window, at no place yet (Place puts it there); a timer or a line makes none.
  virtual void Create(HINSTANCE instance) = 0;
  // Places and sizes the child window for a DPI, with the layout's font or the window's default font.
  virtual void Place(UINT dpi, HFONT defaultFont);
  // A WM_COMMAND notification that this control sent its window.
  virtual void Command(int code);
  // WM_CTLCOLORSTATIC or WM_CTLCOLOREDIT for this control: the brush for its background, or null for
  // the system's own colours.
  virtual HBRUSH Colors(HDC dc);
  // Draws what the control shows on the window's own client area (a line).
  virtual void PaintOnForm(HDC dc, int dpi);

  // The window text as it stands; a text box gives what was set rather than how it shows it.
  virtual Text GetText() const;
  // The text of a text box, the caption of any other control.
  virtual void SetText(const Text& text);
  virtual void SetBackColor(ColorValue color);
  virtual int CheckValue() const;  // 0 unchecked, 1 checked, 2 greyed
  // Timers: start with a fresh interval, or stop.
  virtual void SetTimer(bool enabled, int intervalMs);
  virtual void Tick();

  // The window procedure of the child windows of the kinds that handle messages of their own (OnMessage).
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // What a screen reader reads where the control says it itself: nothing here, the system's own.
  bool AccessibleName(Text& name) const override;
  bool AccessibleValue(Text& value) const override;
  long AccessibleRole() const override;

  // Sets the window text as it is. EN_CHANGE arrives inside SetWindowTextW, even for the same text; the
  // forms layer raises Change for a set itself, so the notice of this set is not passed on.
  void SetCaption(const Text& text);

 protected:
  // A message to the child window, under a handler scope of the window (see Proc).
  virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // The answer to WM_GETOBJECT for a kind that says something of itself to a screen reader.
  LRESULT AnswerAccessible(WPARAM wParam, LPARAM lParam) { return accessible_.Answer(hwnd_, wParam, lParam); }
  // Creates the child window; its user data is this control. A control wholly outside the window's
  // client area is never seen, and is not shown to a screen reader either.
  void MakeChild(HINSTANCE instance, const wchar_t* windowClass, DWORD style, DWORD exStyle);
  // Inside SetCaption: a text notice now is that set's echo.
  bool SettingText() const { return settingText_ > 0; }

  FormWindow& form_;

 private:
  int index_;
  const ControlLayout& layout_;
  HWND hwnd_ = nullptr;
  GdiObject<HFONT> font_;  // the layout's own font, when it names one
  int settingText_ = 0;
  AccessibleServer accessible_{*this};
};

// A label: STATIC text in the window's background colour, with the layout's text colour.
class Label : public Control {
 public:
  using Control::Control;
  void Create(HINSTANCE instance) override;
  HBRUSH Colors(HDC dc) override;
};

// A check box that checks and unchecks itself, or a push button (the default one where the layout says
// so): both are the system's BUTTON class, and each press is Click.
class Button : public Control {
 public:
  using Control::Control;
  void Create(HINSTANCE instance) override;
  void Command(int code) override;
  int CheckValue() const override;  // always 0 for a push button
};

// A timer of the window: WM_TIMER with the control's id comes to the window, which hands it here.
class Timer : public Control {
 public:
  using Control::Control;
  void Create(HINSTANCE /*instance*/) override {}
  void SetTimer(bool enabled, int intervalMs) override;
  void Tick() override;

 private:
  bool ticking_ = false;
};

}  // namespace tintvale::win32
