#include "platform/win32/picture_box.h"

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

LRESULT PictureBox::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  const HWND picture = Handle();
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills every pixel; erasing first would flicker at every tick
    case WM_PAINT:
      Paint();
      return 0;
    case WM_LBUTTONDOWN:
      ::SetFocus(picture);  // a picture box takes the focus when clicked
      return 0;
    case WM_SETFOCUS:
      form_.ControlFocused(*this);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(picture, GWLP_USERDATA, 0);
      break;
    default:
      break;
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
