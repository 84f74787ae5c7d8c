// The main window: samples the pixel under the cursor every 10 ms into a swatch and the coordinate box,
// captures it into the entry box (and the clipboard with "-c") on Enter, previews a typed "#RRGGBB",
// keeps itself on top on request and keeps the keyboard focus in the entry box.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/form.h"

namespace tintvale {

// Control ids of Form1: their order in the layout.
enum Form1Control : int {
  Timer2, Check1, Text1, Text2, Picture1, Timer1, Label3, Label2, Label1, kForm1ControlCount
};

WindowLayout Form1Layout();

class Form1 : public Form {
 public:
  // aboutBox gives the program's one About box, creating the instance on first use.
  Form1(Application& app, std::function<Form&()> aboutBox);

  // Public state.
  double Pos_Color_RGB = 0;
  std::int16_t DecC = 0;
  std::int16_t Clip = 0;

  // Read-only views for tests and diagnostics.
  const Text& LastCaptureText() const { return ColorText; }
  bool SamplingRunning() const { return TimerEnabled(Timer1); }
  bool HoldsScreen() const { return ScreenDC != nullptr; }

 private:
  void Form_Load();
  void Form_Unload(std::int16_t& Cancel);
  void Form_GotFocus();
  void Timer1_Timer();
  void Text2_KeyPress(std::int16_t& KeyAscii);
  void Text2_Change();
  void Check1_Click();
  void Picture1_GotFocus();
  void Text1_GotFocus();

  void OnLoad() override;
  void OnUnload(std::int16_t& cancel) override;
  void OnKeyPress(int control, std::int16_t& keyAscii) override;
  void OnChange(int control) override;
  void OnClick(int control) override;
  void OnGotFocus(int control) override;
  void OnTimer(int control) override;
  bool HasTimerHandler(int control) const override;

  std::function<Form&()> aboutBox_;
  Text ColorText;
  std::int16_t ColorR = 0;
  std::int16_t ColorG = 0;
  std::int16_t ColorB = 0;
  ScreenPoint CursorPos;
  std::unique_ptr<ScreenContext> ScreenDC;
};

}  // namespace tintvale
