#include "platform/win32/control.h"

#include <algorithm>
#include <string>

#include "platform/win32/fonts.h"
#include "platform/win32/window.h"

namespace tintvale::win32 {

COLORREF ResolveColor(ColorValue color, int systemDefault) {
  if (color == kDefaultColor) return GetSysColor(systemDefault);
  if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFFu));
  return color;  // 0x00BBGGRR is a COLORREF already
}

Control::Control(FormWindow& form, int index, const ControlLayout& layout)
    : form_(form), index_(index), layout_(layout) {}

void Control::MakeChild(HINSTANCE instance, const wchar_t* windowClass, DWORD style, DWORD exStyle) {
  const DWORD shown = form_.InClientArea(layout_) ? WS_VISIBLE : 0;
  hwnd_ = CreateWindowExW(exStyle, windowClass, Wide(layout_.caption).c_str(), WS_CHILD | shown | style, 0, 0, 0, 0,
                          form_.Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(index_))), instance,
                          nullptr);
  if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

// Twips are 1/1440 inch.
void Control::Place(UINT dpi, HFONT defaultFont) {
  if (!hwnd_) return;
  const int d = static_cast<int>(dpi);
  MoveWindow(hwnd_, TwipsToPixels(layout_.left, d), TwipsToPixels(layout_.top, d), TwipsToPixels(layout_.width, d),
             TwipsToPixels(layout_.height, d), FALSE);
  HFONT font = defaultFont;
  if (!layout_.font.families.empty()) {
    font_.Reset(CreateLayoutFont(layout_.font, dpi));
    font = font_.Get();
  }
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

LRESULT CALLBACK Control::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Control*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  HandlerScope scope(&self->form_);
  return self->OnMessage(msg, wParam, lParam);
}

LRESULT Control::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void Control::Command(int /*code*/) {}

HBRUSH Control::Colors(HDC /*dc*/) { return nullptr; }

void Control::PaintOnForm(HDC /*dc*/, int /*dpi*/) {}

Text Control::GetText() const {
  if (!hwnd_) return Text();
  const int length = GetWindowTextLengthW(hwnd_);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd_, buffer.data(), length + 1);
  return FromWide(buffer.data(), static_cast<std::size_t>(std::max(got, 0)));
}

void Control::SetText(const Text& text) { SetCaption(text); }

void Control::SetCaption(const Text& text) {
  if (!hwnd_) return;
  ++settingText_;
  SetWindowTextW(hwnd_, Wide(text).c_str());
  --settingText_;
}

bool Control::AccessibleName(Text& /*name*/) const { return false; }

bool Control::AccessibleValue(Text& /*value*/) const { return false; }

long Control::AccessibleRole() const { return 0; }

void Control::SetBackColor(ColorValue /*color*/) {}

int Control::CheckValue() const { return 0; }

void Control::SetTimer(bool /*enabled*/, int /*intervalMs*/) {}

void Control::Tick() {}

void Label::Create(HINSTANCE instance) { MakeChild(instance, L"STATIC", SS_LEFT, 0); }

HBRUSH Label::Colors(HDC dc) {
  if (Layout().foreColor != kDefaultColor) SetTextColor(dc, ResolveColor(Layout().foreColor, COLOR_WINDOWTEXT));
  SetBkMode(dc, TRANSPARENT);
  return GetSysColorBrush(COLOR_BTNFACE);
}

void Button::Create(HINSTANCE instance) {
  const bool check = Layout().kind == ControlKind::CheckBox;
  MakeChild(instance, L"BUTTON",
            WS_TABSTOP | (check                ? BS_AUTOCHECKBOX
                          : Layout().isDefault ? BS_DEFPUSHBUTTON
                                               : BS_PUSHBUTTON),
            0);
}

void Button::Command(int code) {
  if (code != BN_CLICKED) return;
  if (WindowEvents* events = form_.Events()) events->Click(Index());
}

int Button::CheckValue() const { return Handle() ? static_cast<int>(SendMessageW(Handle(), BM_GETCHECK, 0, 0)) : 0; }

void Timer::SetTimer(bool enabled, int intervalMs) {
  const HWND window = form_.Handle();
  if (!window) return;
  const auto id = static_cast<UINT_PTR>(ControlId(Index()));
  KillTimer(window, id);  // a fresh interval on every enable
  if (enabled) ::SetTimer(window, id, static_cast<UINT>(std::max(intervalMs, 1)), nullptr);
}

void Timer::Tick() {
  // A tick pumps events, and a 10 ms timer falls due again inside that pump: without this guard the
  // ticks nest ever deeper until the stack runs out.
  if (ticking_) return;
  ticking_ = true;
  if (WindowEvents* events = form_.Events()) events->TimerTick(Index());
  ticking_ = false;  // the window keeps this object until the handler scope that called it ends
}

}  // namespace tintvale::win32
