// Window layouts as data: the controls of a window with kind, name, caption, place and size in twips,
// tab index and the few properties that differ from the toolkit's defaults. Backends build windows from them.
#pragma once

#include <string>
#include <vector>

#include "base/color_value.h"
#include "base/text.h"

namespace tintvale {

enum class ControlKind { Timer, CheckBox, TextBox, PictureBox, Label, CommandButton, Line };

struct FontSpec {
  std::vector<Text> families;  // empty: the toolkit's default user-interface font
  int pointSize = 0;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
  int charset = 0;  // 128 = Shift-JIS
};

struct ControlLayout {
  ControlKind kind = ControlKind::Label;
  std::string name;
  Text caption;  // caption or initial text; "&" marks an access key on buttons and check boxes
  // Place and size in twips from the top left of the client area. For a Line: x1, y1, x2, y2.
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int tabIndex = -1;    // -1: not in the tab order (timers, lines)
  int intervalMs = 0;   // timers
  bool enabled = true;  // timers: running from creation
  FontSpec font;
  ColorValue foreColor = kDefaultColor;
  ColorValue backColor = kDefaultColor;
  int lineWidthPx = 1;     // lines
  bool showsIcon = false;  // picture box showing the program icon at its top left
  bool isDefault = false;  // command button pressed by Enter when no other button has the focus
  bool isCancel = false;   // command button pressed by Esc
  // What assistive technology (a screen reader) is told. A control that lies wholly outside the client
  // area is hidden from it; a window is a frame, or a dialog with the FixedDialog border.
  Text accessibleName;        // the name of a control without a caption of its own (text and picture boxes)
  int labelledBy = -1;        // the label control whose caption names this control instead; -1: none
  bool namedByColor = false;  // picture box: named by its colour, ColorName(), once it has one
  // Changes many times a second (the pointer's coordinates, the swatch): reported to assistive
  // technology coalesced, a few times a second at most, and only after a live text box changed.
  bool live = false;
};

enum class BorderStyle { FixedSingle, FixedDialog };

struct WindowLayout {
  std::string name;
  Text caption;
  BorderStyle border = BorderStyle::FixedSingle;
  int clientWidth = 0;   // twips
  int clientHeight = 0;  // twips
  int originLeft = 0;    // client-area origin kept with the layout, twips from the screen's top left
  int originTop = 0;
  bool showsIcon = false;  // the program icon in the title bar
  bool showInTaskbar = true;
  std::vector<ControlLayout> controls;  // a control's index here is its id
};

// Logical pixels are pixels at this many dots per inch; Qt lays windows out in them.
inline constexpr int kLogicalDpi = 96;

// Pixels for twips (1440 an inch) at dpi dots per inch, rounded to the nearest pixel with halves away from
// zero, as Windows' MulDiv rounds.
constexpr int TwipsToPixels(int twips, int dpi) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>((scaled + (scaled >= 0 ? 720 : -720)) / 1440);
}

}  // namespace tintvale
