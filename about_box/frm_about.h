// The About box: title, version, description, copyright notice and contact line, an OK button that closes
// it and a button that starts the system's information tool. Modeless, one instance for the program.
#pragma once

#include <cstdint>

#include "forms/form.h"

namespace tintvale {

// Control ids of frmAbout: their order in the layout.
enum FrmAboutControl : int {
  Text1_Contact,   // the contact line, a text box on the dialog's colour: it can be copied, edits snap back
  picIcon,         // the program icon
  cmdOK,           // closes the About box (Enter, Esc)
  cmdSysInfo,      // starts the system information tool
  Line1_1,         // the etched rule above the buttons: its grey line
  lblDescription,  // what the program does, in Japanese
  lblTitle,        // the program's title, set at load
  Line1_0,         // the etched rule's white line, under the grey one
  lblVersion,      // "ﾊﾞｰｼﾞｮﾝ " and the version, set at load
  lblDisclaimer,   // the copyright notice
  kFrmAboutControlCount
};

extern const char16_t kContactLine[];
extern const char16_t kSysInfoUnavailable[];

WindowLayout FrmAboutLayout();

class frmAbout : public Form {
 public:
  explicit frmAbout(Application& app);

  // Finds the system information tool through the registry and starts it, or says it is unavailable.
  // Nothing it calls can make an error leave it.
  void StartSysInfo();

  // Reads a registry value as text: -1 when it was read, 0 with KeyVal empty otherwise. Text and numbers
  // (in decimal) are converted, any other type reads as empty text. The key is closed on every path; a
  // number that does not fit in 32 bits throws std::range_error.
  std::int16_t GetKeyValue(std::uint32_t KeyRoot, const Text& KeyName, const Text& SubKeyRef, Text& KeyVal);

 private:
  void Form_Load();
  void cmdOK_Click();
  void cmdSysInfo_Click();
  void Text1_Change();

  void OnLoad() override;
  void OnUnload(std::int16_t& cancel) override;
  void OnKeyPress(int control, std::int16_t& keyAscii) override;
  void OnKeyDown(int control, std::int16_t& keyCode, std::int16_t shift) override;
  void OnChange(int control) override;
  void OnClick(int control) override;
  void OnGotFocus(int control) override;
  void OnTimer(int control) override;
  bool HasTimerHandler(int control) const override;
};

}  // namespace tintvale
