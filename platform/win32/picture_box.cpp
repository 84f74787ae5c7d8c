#include "platform/win32/picture_box.h"

#include <oleacc.h>

#include "platform/win32/window.h"

namespace tintvale::win32 {

PictureBox::PictureBox(FormWindow& form, int index, const ControlLayout& layout)
    : Control(form, index, layout), color_(layout.backColor) {}

void PictureBox::Create(HINSTANCE instance) {
  MakeChild(instance, kPictureClass, WS_TABSTOP, WS_EX_CLIENTEDGE);  // the sunken two-pixel border
  if (Layout().showsIcon) icon_ = LoadProgramIcon(instance, kIconPixels);
}

void PictureBox::SetBackColor(ColorValue color) {
  if (color_ == color) return;
  color_ = color;
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

bool PictureBox::AccessibleName(Text& name) const {
  if (Layout().namedByColor && color_ != kDefaultColor) {
    name = ColorName(color_);
    return true;
  }
  name = Layout().accessibleName;
  return !name.empty();
}

long PictureBox::AccessibleRole() const { return ROLE_SYSTEM_GRAPHIC; }

LRESULT PictureBox::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  const HWND picture = Handle();
  switch (msg) {
    case WM_ERASEBKGND: return 1;  // WM_PAINT fills every pixel; erasing first would flicker at every tick
    case WM_PAINT: Paint(); return 0;
    case WM_LBUTTONDOWN:
      // No focus from a click: a screen reader follows the focus, and would go to the swatch first.
      return 0;
    case WM_GETOBJECT:
      if (const LRESULT object = AnswerAccessible(wParam, lParam)) return object;
      break;
    case WM_SETFOCUS: form_.ControlFocused(*this); return 0;
    case WM_NCDESTROY: SetWindowLongPtrW(picture, GWLP_USERDATA, 0); break;
    default: break;
  }
  return DefWindowProcW(picture, msg, wParam, lParam);
}

void PictureBox::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(Handle(), &ps);
  RECT client;
  GetClientRect(Handle(), &client);
  GdiObject<HBRUSH> brush(CreateSolidBrush(ResolveColor(color_, COLOR_BTNFACE)));
  FillRect(dc, &client, brush.Get());
  if (icon_) {
    const int size = MulDiv(kIconPixels, static_cast<int>(form_.Dpi()), 96);
    DrawIconEx(dc, 0, 0, icon_, size, size, 0, nullptr, DI_NORMAL);
  }
  EndPaint(Handle(), &ps);
}

}  // namespace tintvale::win32
