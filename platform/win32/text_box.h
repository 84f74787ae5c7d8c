// A single-line text box: an EDIT subclassed so that KeyPress sees each character and KeyDown each arrow
// key before the box, that Enter and Esc reach it where no default or cancel button takes them, and that a
// set text's tabs show as em spaces yet read back and copy as tabs.
#pragma once

#include "platform/win32/control.h"

namespace tintvale::win32 {

class TextBox : public Control {
 public:
  TextBox(FormWindow& form, int index, const ControlLayout& layout);

  void Create(HINSTANCE instance) override;
  void Command(int code) override;
  HBRUSH Colors(HDC dc) override;
  Text GetText() const override;
  void SetText(const Text& text) override;
  void SetBackColor(ColorValue color) override;
  // Named by the layout, or by the caption of the label that names it; its value is its text as set.
  bool AccessibleName(Text& name) const override;
  bool AccessibleValue(Text& value) const override;

 private:
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool CopySetText();

  WNDPROC editProc_ = nullptr;  // the EDIT class's own
  Text setText_;                // what the program last set
  Text shownText_;              // and how the box shows it
  ColorValue color_;
  GdiObject<HBRUSH> brush_;
};

}  // namespace tintvale::win32
