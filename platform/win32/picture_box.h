// A picture box: a window class of its own that fills its client area with its background colour in one
// paint (no erase, so no flicker at every tick), sunken two-pixel border, optionally the program icon at
// its top left. It is in the tab order, but a click leaves the focus where it was.
#pragma once

#include "platform/win32/control.h"

namespace tintvale::win32 {

// The picture box's own window class; the toolkit registers it with Control::Proc.
inline constexpr wchar_t kPictureClass[] = L"TintvalePicture";

class PictureBox : public Control {
 public:
  PictureBox(FormWindow& form, int index, const ControlLayout& layout);

  void Create(HINSTANCE instance) override;
  void SetBackColor(ColorValue color) override;  // repaints only for a new colour
  // A graphic, named by its colour ("#0A00AB") where the layout says so once it has one, else by the layout.
  bool AccessibleName(Text& name) const override;
  long AccessibleRole() const override;

 private:
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void Paint();

  ColorValue color_;
  HICON icon_ = nullptr;  // shared with the system: never destroyed
};

}  // namespace tintvale::win32
