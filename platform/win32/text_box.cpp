#include "platform/win32/text_box.h"

#include <algorithm>
#include <cstdint>

#include "platform/win32/clipboard.h"
#include "platform/win32/window.h"

namespace tintvale::win32 {
namespace {

// Shift 1, Ctrl 2, Alt 4, as they are held while the key message is handled.
std::int16_t ShiftMask(bool alt) {
  std::int16_t mask = 0;
  if (GetKeyState(VK_SHIFT) < 0) mask |= 1;
  if (GetKeyState(VK_CONTROL) < 0) mask |= 2;
  if (alt || GetKeyState(VK_MENU) < 0) mask |= 4;
  return mask;
}

}  // namespace

TextBox::TextBox(FormWindow& form, int index, const ControlLayout& layout)
    : Control(form, index, layout), setText_(layout.caption), shownText_(layout.caption), color_(layout.backColor) {}

void TextBox::Create(HINSTANCE instance) {
  MakeChild(instance, L"EDIT", WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
  if (!Handle()) return;
  SendMessageW(Handle(), EM_LIMITTEXT, 0, 0);  // 0: as long as the system allows
  editProc_ =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::Proc)));
}

void TextBox::Command(int code) {
  WindowEvents* events = form_.Events();
  if (!events) return;
  if (code == EN_CHANGE && !SettingText()) events->TextChanged(Index());
  if (code == EN_SETFOCUS) form_.ControlFocused(*this);
}

HBRUSH TextBox::Colors(HDC dc) {
  const ColorValue fore = Layout().foreColor;
  if (fore != kDefaultColor) SetTextColor(dc, ResolveColor(fore, COLOR_WINDOWTEXT));
  if (color_ == kDefaultColor) {
    if (fore == kDefaultColor) return nullptr;
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return GetSysColorBrush(COLOR_WINDOW);
  }
  if (!brush_.Get()) brush_.Reset(CreateSolidBrush(ResolveColor(color_, COLOR_WINDOW)));
  SetBkColor(dc, ResolveColor(color_, COLOR_WINDOW));
  return brush_.Get();
}

// Read back while the box still shows its set text unedited, the box gives the text as it was set.
Text TextBox::GetText() const {
  if (!Handle()) return Text();
  const Text now = Control::GetText();
  return now == shownText_ ? setText_ : now;
}

// A single-line EDIT draws a tab as nothing, so the coordinate box would run x and y together: a set
// text is shown with each tab as an em space.
void TextBox::SetText(const Text& text) {
  Text shown = text;
  for (char16_t& c : shown) {
    if (c == u'\t') c = u'\u2003';
  }
  setText_ = text;
  shownText_ = shown;
  SetCaption(shown);
}

void TextBox::SetBackColor(ColorValue color) {
  if (color_ == color) return;  // an unchanged colour repaints nothing
  color_ = color;
  brush_.Reset();
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

bool TextBox::AccessibleName(Text& name) const {
  if (!Layout().accessibleName.empty()) {
    name = Layout().accessibleName;
    return true;
  }
  const Control* label = Layout().labelledBy >= 0 ? form_.ControlAt(Layout().labelledBy) : nullptr;
  if (!label) return false;
  name = label->GetText();
  return true;
}

// What a copy gives, tabs included: the box shows them as em spaces, which the system's object would read.
bool TextBox::AccessibleValue(Text& value) const {
  value = GetText();
  return true;
}

// Copying from a box that still shows its set text unedited gives the selected part of the text as it
// was set, tabs and not the em spaces that stand for them. False when the plain copy gives that already.
bool TextBox::CopySetText() {
  if (setText_ == shownText_ || GetText() != setText_) return false;
  DWORD start = 0, end = 0;
  SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  end = std::min<DWORD>(end, static_cast<DWORD>(setText_.size()));
  if (start >= end) return false;
  WriteClipboard(Handle(), setText_.substr(start, end - start));
  return true;
}

LRESULT TextBox::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  const HWND edit = Handle();
  const WNDPROC original = editProc_;
  switch (msg) {
    case WM_GETDLGCODE: {
      // IsDialogMessage would turn Enter into the default button's click and Esc into IDCANCEL. Where the
      // window has no such button, the box asks for the key so that KeyPress sees it (Tab stays with
      // the dialog manager, so the tab order still works).
      LRESULT code = CallWindowProcW(original, edit, msg, wParam, lParam);
      const auto* m = reinterpret_cast<const MSG*>(lParam);
      if (m && m->message == WM_KEYDOWN &&
          ((m->wParam == VK_RETURN && !form_.HasButton(&ControlLayout::isDefault)) ||
           (m->wParam == VK_ESCAPE && !form_.HasButton(&ControlLayout::isCancel)))) {
        code |= DLGC_WANTMESSAGE;
      }
      return code;
    }
    case WM_CHAR: {
      auto key = static_cast<std::int16_t>(static_cast<std::uint16_t>(wParam));
      if (WindowEvents* events = form_.Events()) events->KeyPress(Index(), key);
      // The handler may have closed the window; then the box is gone and nothing more may touch it.
      if (form_.Gone()) return 0;
      // A single-line box beeps at a carriage return or Esc on Windows: both end here.
      if (key == 0 || key == 13 || key == 27) return 0;
      wParam = static_cast<std::uint16_t>(key);
      break;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      if (wParam < VK_LEFT || wParam > VK_DOWN) break;
      // An arrow key, before the box moves the caret. With Alt it comes as a system key, which the box
      // would hand on to the default handling.
      auto key = static_cast<std::int16_t>(wParam);
      if (WindowEvents* events = form_.Events()) events->KeyDown(Index(), key, ShiftMask(msg == WM_SYSKEYDOWN));
      if (form_.Gone()) return 0;
      if (key == 0) {
        // Swallowed, but the default handling still sees that a key came after Alt went down: on Windows
        // letting go of Alt would otherwise open the window's system menu, and the next keys would go
        // there (Wine opens none either way).
        return msg == WM_SYSKEYDOWN ? DefWindowProcW(edit, msg, wParam, lParam) : 0;
      }
      wParam = static_cast<std::uint16_t>(key);
      break;
    }
    case WM_GETOBJECT:
      if (const LRESULT object = AnswerAccessible(wParam, lParam)) return object;
      break;
    case WM_COPY:
      // Ctrl+C and the context menu's Copy come here too: the box sends itself WM_COPY for both.
      if (CopySetText()) return 0;
      break;
    case WM_CUT:
      if (CopySetText()) {
        SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
        return 0;
      }
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      SetWindowLongPtrW(edit, GWLP_USERDATA, 0);
      break;
    default: break;
  }
  return CallWindowProcW(original, edit, msg, wParam, lParam);
}

}  // namespace tintvale::win32
