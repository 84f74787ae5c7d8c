// A line control: no child window, but a straight line the window draws on its own client area, from
// (left, top) to (width, height) of its layout entry in twips, lineWidthPx pixels wide at 96 dpi.
#pragma once

#include "platform/win32/control.h"

namespace tintvale::win32 {

class LineShape : public Control {
 public:
  using Control::Control;
  void Create(HINSTANCE /*instance*/) override {}
  void PaintOnForm(HDC dc, int dpi) override;
};

}  // namespace tintvale::win32
