// frmAbout as it is created: a fixed 5730 x 3555 twip dialog. The placeholder captions are replaced by
// the load handler before the window is first shown.
#include "about_box/frm_about.h"
#include "resources/version.h"

namespace tintvale {

WindowLayout FrmAboutLayout() {
  WindowLayout w;
  w.name = "frmAbout";
  w.caption = u"ﾊﾞｰｼﾞｮﾝ情報";
  w.border = BorderStyle::FixedDialog;
  w.clientWidth = 5730;
  w.clientHeight = 3555;
  w.originLeft = 2340;
  w.originTop = 1935;
  w.showsIcon = false;
  w.showInTaskbar = true;
  w.controls.resize(kFrmAboutControlCount);
  constexpr ColorValue kBlack = 0x000000;

  // Each control's kind, name, caption, place, size and tab index stay on their rows, as a forms
  // designer lists them; clang-format would give every property a line of its own.
  // clang-format off
  auto& contact = w.controls[Text1_Contact];
  contact = {.kind = ControlKind::TextBox, .name = "Text1", .caption = kContactLine,
             .left = 240, .top = 3000, .width = 2775, .height = 270, .tabIndex = 7};
  contact.backColor = kButtonFaceColor;
  contact.accessibleName = u"連絡先";

  auto& icon = w.controls[picIcon];
  icon = {.kind = ControlKind::PictureBox, .name = "picIcon",
          .left = 240, .top = 240, .width = 540, .height = 540, .tabIndex = 1};
  icon.showsIcon = true;
  icon.accessibleName = Text(kAppTitle) + u"のアイコン";

  auto& ok = w.controls[cmdOK];
  ok = {.kind = ControlKind::CommandButton, .name = "cmdOK", .caption = u"OK",
        .left = 4245, .top = 2625, .width = 1380, .height = 345, .tabIndex = 0};
  ok.isDefault = true;
  ok.isCancel = true;

  w.controls[cmdSysInfo] = {.kind = ControlKind::CommandButton, .name = "cmdSysInfo",
                            .caption = u"ｼｽﾃﾑ情報(&S)...",
                            .left = 4260, .top = 3075, .width = 1380, .height = 345, .tabIndex = 2};

  auto& grey = w.controls[Line1_1];
  grey = {.kind = ControlKind::Line, .name = "Line1(1)", .left = 90, .top = 2445, .width = 5654, .height = 2445};
  grey.foreColor = 0x808080;
  grey.lineWidthPx = 1;

  auto& description = w.controls[lblDescription];
  description = {.kind = ControlKind::Label, .name = "lblDescription",
                 .caption = u"画面の任意の点から色を十六進数で取得",
                 .left = 1050, .top = 1125, .width = 3885, .height = 1170, .tabIndex = 3};
  description.foreColor = kBlack;

  auto& title = w.controls[lblTitle];
  title = {.kind = ControlKind::Label, .name = "lblTitle", .caption = u"ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ",
           .left = 1050, .top = 240, .width = 3885, .height = 480, .tabIndex = 5};
  title.foreColor = kBlack;

  auto& white = w.controls[Line1_0];
  white = {.kind = ControlKind::Line, .name = "Line1(0)", .left = 105, .top = 2460, .width = 5654, .height = 2460};
  white.foreColor = 0xFFFFFF;
  white.lineWidthPx = 2;

  w.controls[lblVersion] = {.kind = ControlKind::Label, .name = "lblVersion", .caption = u"ﾊﾞｰｼﾞｮﾝ",
                            .left = 1050, .top = 780, .width = 3885, .height = 225, .tabIndex = 6};

  auto& disclaimer = w.controls[lblDisclaimer];
  disclaimer = {.kind = ControlKind::Label, .name = "lblDisclaimer",
                .caption = u"Copyright (C) 2026 Tintvale contributors",
                .left = 255, .top = 2625, .width = 3870, .height = 225, .tabIndex = 4};
  disclaimer.foreColor = kBlack;
  // clang-format on
  return w;
}

}  // namespace tintvale
