#include "platform/win32/line_shape.h"

#include <algorithm>

namespace tintvale::win32 {

void LineShape::PaintOnForm(HDC dc, int dpi) {
  const ControlLayout& c = Layout();
  const int width = std::max(1, MulDiv(c.lineWidthPx, dpi, 96));
  int x1 = TwipsToPixels(c.left, dpi), y1 = TwipsToPixels(c.top, dpi);
  int x2 = TwipsToPixels(c.width, dpi), y2 = TwipsToPixels(c.height, dpi);
  // GDI centres a wide pen on the line, so a two-pixel line at y would also cover y - 1, where the
  // etched rule's grey line lies. A wide level or upright line grows down or right from its place.
  if (y1 == y2) y1 += width / 2, y2 += width / 2;
  if (x1 == x2) x1 += width / 2, x2 += width / 2;
  GdiObject<HPEN> pen(CreatePen(PS_SOLID, width, ResolveColor(c.foreColor, COLOR_WINDOWTEXT)));
  HGDIOBJ old = SelectObject(dc, pen.Get());
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
}

}  // namespace tintvale::win32
