#include "platform/win32/window.h"

#include <algorithm>
#include <climits>
#include <numeric>
#include <string>

#include <oleacc.h>

#include "platform/win32/dpi.h"
#include "platform/win32/fonts.h"
#include "platform/win32/line_shape.h"
#include "platform/win32/picture_box.h"
#include "platform/win32/text_box.h"

namespace tintvale::win32 {
namespace {

constexpr int kIconResource = 1;

std::unique_ptr<Control> MakeControl(FormWindow& form, int index, const ControlLayout& c) {
  switch (c.kind) {
    case ControlKind::TextBox: return std::make_unique<TextBox>(form, index, c);
    case ControlKind::PictureBox: return std::make_unique<PictureBox>(form, index, c);
    case ControlKind::CheckBox:
    case ControlKind::CommandButton: return std::make_unique<Button>(form, index, c);
    case ControlKind::Label: return std::make_unique<Label>(form, index, c);
    case ControlKind::Line: return std::make_unique<LineShape>(form, index, c);
    case ControlKind::Timer: break;
  }
  return std::make_unique<Timer>(form, index, c);  // the one kind with neither a window nor a drawing
}

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
    if (control == kWindowItself) {
      if (w_->Handle()) SetWindowTextW(w_->Handle(), Wide(caption).c_str());
    } else if (Control* c = w_->ControlAt(control)) {
      c->SetCaption(caption);
    }
  }
  Text GetText(int control) const override {
    if (control != kWindowItself) {
      const Control* c = w_->ControlAt(control);
      return c ? c->GetText() : Text();
    }
    const HWND window = w_->Handle();
    if (!window) return Text();
    const int length = GetWindowTextLengthW(window);
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, buffer.data(), length + 1);
    return FromWide(buffer.data(), static_cast<std::size_t>(std::max(got, 0)));
  }
  void SetText(int control, const Text& text) override {
    Control* c = w_->ControlAt(control);
    if (c && c->Handle()) c->SetText(text);
  }
  void SetBackColor(int control, ColorValue color) override {
    if (Control* c = w_->ControlAt(control)) c->SetBackColor(color);
  }
  int CheckValue(int control) const override {
    const Control* c = w_->ControlAt(control);
    return c ? c->CheckValue() : 0;
  }
  void SetFocus(int control) override {
    HWND target = w_->Handle();
    if (control != kWindowItself) {
      const Control* c = w_->ControlAt(control);
      target = c ? c->Handle() : nullptr;
    }
    if (target) ::SetFocus(target);
  }
  void SetTopmost(bool onTop) override {
    SetWindowPos(w_->Handle(), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);  // 0x43
  }
  void SetTimer(int control, bool enabled, int intervalMs) override {
    if (Control* c = w_->ControlAt(control)) c->SetTimer(enabled, intervalMs);
  }
  void Announce(int /*control*/, const Text& /*text*/) override {}

 private:
  FormWindow* w_;
};

}  // namespace

HICON LoadProgramIcon(HINSTANCE instance, int pixels) {
  return static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, pixels, pixels, LR_SHARED));
}

HandlerScope::HandlerScope(FormWindow* window) : window_(window) { ++window_->handlers_; }

HandlerScope::~HandlerScope() {
  if (--window_->handlers_ == 0 && window_->released_) delete window_;
}

FormWindow::FormWindow(HINSTANCE instance, const WindowLayout& layout, WindowEvents& events, HWND owner)
    : instance_(instance), owner_(owner), layout_(layout), events_(&events) {
  for (std::size_t i = 0; i < layout_.controls.size(); ++i) {
    controls_.push_back(MakeControl(*this, static_cast<int>(i), layout_.controls[i]));
  }
}

bool FormWindow::Create() {
  dpi_ = WindowDpi(nullptr);
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;  // fixed size, no min/max box
  // An owned window has no taskbar button of its own unless it asks for one, as a window of its own has.
  DWORD exStyle = layout_.showInTaskbar ? WS_EX_APPWINDOW : 0;
  if (layout_.border == BorderStyle::FixedDialog) exStyle |= WS_EX_DLGMODALFRAME;  // no icon in the title
  const int dpi = static_cast<int>(dpi_);
  RECT client = {TwipsToPixels(layout_.originLeft, dpi), TwipsToPixels(layout_.originTop, dpi), 0, 0};
  client.right = client.left + TwipsToPixels(layout_.clientWidth, dpi);
  client.bottom = client.top + TwipsToPixels(layout_.clientHeight, dpi);
  const RECT frame = FrameForClient(client, style, exStyle, dpi_);
  CreateWindowExW(exStyle, kFormClass, Wide(layout_.caption).c_str(), style, frame.left, frame.top,
                  frame.right - frame.left, frame.bottom - frame.top, owner_, nullptr, instance_, this);
  if (!hwnd_) return false;

  if (layout_.showsIcon) {
    const HICON big = LoadProgramIcon(instance_, kIconPixels);
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    const HICON small = LoadProgramIcon(instance_, GetSystemMetrics(SM_CXSMICON));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : big));
  }

  // Creation order is the tab order that IsDialogMessage and GetNextDlgTabItem follow.
  std::vector<int> order(layout_.controls.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const int ta = layout_.controls[static_cast<std::size_t>(a)].tabIndex;
    const int tb = layout_.controls[static_cast<std::size_t>(b)].tabIndex;
    return (ta < 0 ? INT_MAX : ta) < (tb < 0 ? INT_MAX : tb);
  });
  for (int index : order) controls_[static_cast<std::size_t>(index)]->Create(instance_);
  Place(dpi_);
  return true;
}

// Sizes, places and sets the fonts of every control for a DPI.
void FormWindow::Place(UINT dpi) {
  dpi_ = dpi;
  defaultFont_.Reset(CreateDefaultFont(dpi));
  for (const auto& control : controls_) control->Place(dpi, defaultFont_.Get());
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void FormWindow::Release() {
  HandlerScope scope(this);  // deletes this on the way out unless a handler further up still runs
  events_ = nullptr;
  released_ = true;
  if (hwnd_) DestroyWindow(hwnd_);
}

Control* FormWindow::ControlAt(int index) const {
  if (index < 0 || index >= static_cast<int>(controls_.size())) return nullptr;
  return controls_[static_cast<std::size_t>(index)].get();
}

Control* FormWindow::ControlOf(HWND child) const {
  Control* control = child ? ControlAt(GetDlgCtrlID(child) - kFirstControlId) : nullptr;
  return control && control->Handle() == child ? control : nullptr;
}

void FormWindow::ControlFocused(const Control& control) {
  lastFocus_ = control.Handle();
  if (events_) events_->GotFocus(control.Index());
}

bool FormWindow::InClientArea(const ControlLayout& c) const {
  return c.left < layout_.clientWidth && c.top < layout_.clientHeight && c.left + c.width > 0 && c.top + c.height > 0;
}

bool FormWindow::AccessibleName(Text& /*name*/) const { return false; }  // the caption

bool FormWindow::AccessibleValue(Text& /*value*/) const { return false; }

long FormWindow::AccessibleRole() const { return layout_.border == BorderStyle::FixedDialog ? ROLE_SYSTEM_DIALOG : 0; }

Control* FormWindow::FindButton(bool ControlLayout::*flag) const {
  for (const auto& control : controls_) {
    const ControlLayout& c = control->Layout();
    if (c.kind == ControlKind::CommandButton && c.*flag && control->Handle()) return control.get();
  }
  return nullptr;
}

LRESULT CALLBACK FormWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  HandlerScope scope(self);
  return self->OnMessage(msg, wParam, lParam);
}

LRESULT FormWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); return 0;
    case DM_GETDEFID: {
      // IsDialogMessage asks this on Enter: a focused command button is pressed itself, otherwise the
      // default button; with neither, Enter stays with the focused control.
      const Control* focus = ControlOf(GetFocus());
      const Control* button =
          focus && focus->Layout().kind == ControlKind::CommandButton ? focus : FindButton(&ControlLayout::isDefault);
      if (!button) return 0;
      return MAKELRESULT(ControlId(button->Index()), DC_HASDEFID);
    }
    case WM_TIMER:
      if (Control* timer = ControlAt(static_cast<int>(wParam) - kFirstControlId)) timer->Tick();
      return 0;
    case WM_CLOSE:
      // The forms layer decides; it destroys the window through the NativeWindow when it unloads.
      if (events_) events_->CloseRequested();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
      }
      break;
    case WM_SETFOCUS: OnSetFocus(); return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      if (Control* control = ControlOf(reinterpret_cast<HWND>(lParam))) {
        if (HBRUSH brush = control->Colors(reinterpret_cast<HDC>(wParam))) return reinterpret_cast<LRESULT>(brush);
      }
      break;
    case WM_PAINT: Paint(); return 0;
    case WM_GETOBJECT:
      if (const LRESULT object = accessible_.Answer(hwnd_, wParam, lParam)) return object;
      break;
    case WM_DPICHANGED: {
      // Per-monitor awareness: moved to a monitor with another scale, the window lays itself out again.
      Place(HIWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void FormWindow::OnCommand(int id, int code, HWND from) {
  if (!events_) return;
  if (id == IDCANCEL && !from) {
    // Esc through IsDialogMessage: the cancel button is pressed; a window without one ignores it.
    if (const Control* cancel = FindButton(&ControlLayout::isCancel)) events_->Click(cancel->Index());
    return;
  }
  // Each control's own notifications go to that control.
  Control* control = ControlAt(id - kFirstControlId);
  if (control && control->Handle()) control->Command(code);
}

void FormWindow::OnSetFocus() {
  // Activation puts the focus on the window itself: that is the window's own GotFocus. When its handler
  // leaves the focus there, it goes back to the control that had it, or the first in the tab order.
  if (events_) events_->GotFocus(kWindowItself);
  if (!hwnd_ || released_ || GetFocus() != hwnd_) return;
  HWND target = lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) ? lastFocus_ : nullptr;
  if (!target) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  if (target) ::SetFocus(target);
}

void FormWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  for (const auto& control : controls_) control->PaintOnForm(dc, static_cast<int>(dpi_));
  EndPaint(hwnd_, &ps);
}

std::unique_ptr<NativeWindow> MakeWindow(HINSTANCE instance, const WindowLayout& layout, WindowEvents& events,
                                         HWND owner) {
  auto* window = new FormWindow(instance, layout, events, owner);
  auto native = std::make_unique<Win32Window>(window);
  if (!window->Create()) return nullptr;  // the Win32Window deletes what was made
  return native;
}

HWND WindowHandle(NativeWindow& window) { return static_cast<Win32Window&>(window).Handle(); }

}  // namespace tintvale::win32
