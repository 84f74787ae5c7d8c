#include "about_box/frm_about.h"

#include "main_window/color_text.h"
#include "resources/version.h"

namespace tintvale {

// Short enough for the whole line to show in the box at the default font.
const char16_t kContactLine[] = u"Mail: tintvale@example.org";

frmAbout::frmAbout(Application& app) : Form(app, FrmAboutLayout()) {}

void frmAbout::Form_Load() {
  SetCaption(kWindowItself, Text(kAppTitle) + u"のﾊﾞｰｼﾞｮﾝ情報");
  SetCaption(lblVersion, u"ﾊﾞｰｼﾞｮﾝ " + DecimalText(kVersionMajor) + u"." + DecimalText(kVersionMinor) + u"." +
                             DecimalText(kVersionRevision));
  SetCaption(lblTitle, kAppTitle);
}

void frmAbout::cmdOK_Click() { Unload(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

// Edits to the contact line are undone at once; setting the same text raises no further change.
void frmAbout::Text1_Change() { SetText(Text1_Contact, kContactLine); }

void frmAbout::OnLoad() { Form_Load(); }
void frmAbout::OnUnload(std::int16_t& /*cancel*/) {}
void frmAbout::OnKeyPress(int /*control*/, std::int16_t& /*keyAscii*/) {}
void frmAbout::OnKeyDown(int /*control*/, std::int16_t& /*keyCode*/, std::int16_t /*shift*/) {}

void frmAbout::OnChange(int control) {
  if (control == Text1_Contact) Text1_Change();
}

void frmAbout::OnClick(int control) {
  if (control == cmdOK) cmdOK_Click();
  if (control == cmdSysInfo) cmdSysInfo_Click();
}

void frmAbout::OnGotFocus(int /*control*/) {}
void frmAbout::OnTimer(int /*control*/) {}
bool frmAbout::HasTimerHandler(int /*control*/) const { return false; }

}  // namespace tintvale
