// Form1 as it is created, before any handler runs: a fixed 4230 x 900 twip strip with the swatch at the
// left, the entry box on the first row and the check box, label and coordinate box on the second.
#include "main_window/form1.h"
#include "resources/version.h"

namespace tintvale {

WindowLayout Form1Layout() {
  WindowLayout w;
  w.name = "Form1";
  w.caption = kAppTitle;
  w.border = BorderStyle::FixedSingle;
  w.clientWidth = 4230;
  w.clientHeight = 900;
  w.originLeft = 2595;
  w.originTop = 2385;
  w.showsIcon = true;
  w.showInTaskbar = true;
  w.controls.resize(kForm1ControlCount);

  // Each control's kind, name, caption, place, size and tab index stay on their rows, as a forms
  // designer lists them; clang-format would give every property a line of its own.
  // clang-format off
  auto& timer2 = w.controls[Timer2];
  timer2 = {.kind = ControlKind::Timer, .name = "Timer2"};
  timer2.intervalMs = 100;
  timer2.enabled = true;

  w.controls[Check1] = {.kind = ControlKind::CheckBox, .name = "Check1", .caption = u"常に手前に表示",
                        .left = 960, .top = 480, .width = 1575, .height = 255, .tabIndex = 4};
  auto& text1 = w.controls[Text1];
  text1 = {.kind = ControlKind::TextBox, .name = "Text1",
           .left = 3120, .top = 480, .width = 855, .height = 270, .tabIndex = 2};
  text1.labelledBy = Label1;
  text1.live = true;
  auto& text2 = w.controls[Text2];
  text2 = {.kind = ControlKind::TextBox, .name = "Text2",
           .left = 960, .top = 120, .width = 3135, .height = 270, .tabIndex = 1};
  text2.accessibleName = u"色コード";
  auto& picture1 = w.controls[Picture1];
  picture1 = {.kind = ControlKind::PictureBox, .name = "Picture1",
              .left = 120, .top = 120, .width = 735, .height = 735, .tabIndex = 0};
  picture1.accessibleName = u"色見本";  // until the first sample names it by its colour
  picture1.namedByColor = true;
  picture1.live = true;

  auto& timer1 = w.controls[Timer1];
  timer1 = {.kind = ControlKind::Timer, .name = "Timer1"};
  timer1.intervalMs = 10;
  timer1.enabled = false;

  w.controls[Label3] = {.kind = ControlKind::Label, .name = "Label3", .caption = u"Label3",
                        .left = 2040, .top = 960, .width = 1695, .height = 255, .tabIndex = 6};
  w.controls[Label2] = {.kind = ControlKind::Label, .name = "Label2", .caption = u"Label2",
                        .left = 360, .top = 960, .width = 1095, .height = 255, .tabIndex = 5};

  auto& label1 = w.controls[Label1];
  label1 = {.kind = ControlKind::Label, .name = "Label1", .caption = u"座標",
            .left = 2640, .top = 515, .width = 375, .height = 255, .tabIndex = 3};
  // Explicit fallbacks keep Japanese glyph forms whatever the locale when the first face is missing.
  label1.font.families = {u"ＭＳ ゴシック", u"MS Gothic", u"Noto Sans Mono CJK JP", u"monospace"};
  label1.font.pointSize = 9;
  label1.font.weight = 400;
  label1.font.charset = 128;
  // clang-format on
  return w;
}

}  // namespace tintvale
