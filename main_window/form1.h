// The main window: samples the pixel under the cursor every 10 ms into a swatch and the coordinate box,
// captures it into the entry box (and the clipboard with "-c") on Enter and has a screen reader say it,
// previews a typed "#RRGGBB", keeps itself on top on request, keeps the keyboard focus in the entry box,
// and steps the pointer by one pixel (ten with Shift) on Alt+arrow.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "forms/form.h"

namespace tintvale {

// Control ids of Form1: their order in the layout.
enum Form1Control : int {
  Timer2,    // a 100 ms timer that runs with no handler
  Check1,    // "常に手前に表示": keeps the window on top of others while ticked
  Text1,     // the coordinate box: the cursor's "x<Tab>y", rewritten each tick
  Text2,     // the entry box: Enter captures the colour into it, a typed "#RRGGBB" previews, "/info" opens About
  Picture1,  // the swatch: the colour under the cursor, or the typed colour
  Timer1,    // the sampling timer, 10 ms; stopped while a typed colour is previewed
  Label3,    // unused labels placed below the client area, never seen
  Label2,
  Label1,  // "座標", the caption in front of the coordinate box
  kForm1ControlCount
};

WindowLayout Form1Layout();

class Form1 : public Form {
 public:
  // aboutBox gives the program's one About box, creating the instance on first use.
  Form1(Application& app, std::function<Form&()> aboutBox);

  // Public state.
  double Pos_Color_RGB = 0;  // the last pixel read, 0x00BBGGRR, or -1 after a failed read
  std::int16_t DecC = 0;     // -1 when "-d" was given: captures are written "R,G,B" in decimal
  std::int16_t Clip = 0;     // -1 when "-c" was given: captures are also put on the clipboard

 private:
  void Form_Load();
  void Form_Unload(std::int16_t& Cancel);
  void Form_GotFocus();
  void Timer1_Timer();
  void Text2_KeyPress(std::int16_t& KeyAscii);
  void Text2_KeyDown(std::int16_t& KeyCode, std::int16_t Shift);
  void Text2_Change();
  void Check1_Click();
  void Picture1_GotFocus();
  void Text1_GotFocus();

  void OnLoad() override;
  void OnUnload(std::int16_t& cancel) override;
  void OnKeyPress(int control, std::int16_t& keyAscii) override;
  void OnKeyDown(int control, std::int16_t& keyCode, std::int16_t shift) override;
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
