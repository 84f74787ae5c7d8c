#include "main_window/form1.h"

#include <cmath>
#include <utility>

#include "main_window/color_text.h"

namespace tintvale {
namespace {

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kEnterKey = 13;
constexpr std::int16_t kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40;
constexpr std::int16_t kShiftMask = 1, kAltMask = 4;
constexpr std::int32_t kBigStep = 10;

// The stored colour back as a 32-bit signed integer: nearest, halves to even (the default rounding mode).
std::int32_t ToColorInteger(double value) { return static_cast<std::int32_t>(std::nearbyint(value)); }

bool IsColorValue(std::int32_t v) { return v >= 0 && v <= 0xFFFFFF; }

}  // namespace

Form1::Form1(Application& app, std::function<Form&()> aboutBox)
    : Form(app, Form1Layout()), aboutBox_(std::move(aboutBox)) {}

void Form1::Form_Load() {
  ScreenDC = Sys().ScreenServices().GetScreen();
  Show();
  SetFocus(Text2);
  SetTimerEnabled(Timer1, true);
  if (HasOption(Sys().Toolkit().CommandLine(), u"-d")) DecC = kTrue;
  if (HasOption(Sys().Toolkit().CommandLine(), u"-c")) Clip = kTrue;
}

void Form1::Form_Unload(std::int16_t& /*Cancel*/) {
  aboutBox_().Unload();
  ScreenDC.reset();
}

void Form1::Timer1_Timer() {
  App().DoEvents();
  // The window may have been closed by an event handled just now: its screen and controls are gone.
  if (!Loaded()) return;
  // A colour typed or pasted just now paused sampling and is on show: this tick must not paint over it.
  // A capture handled just now ended with sampling on again, so the tick goes on.
  if (!TimerEnabled(Timer1)) return;
  Sys().ScreenServices().CursorPos(CursorPos);
  const ColorValue pixel = ScreenDC ? ScreenDC->Pixel(CursorPos.x, CursorPos.y) : kInvalidColor;
  Pos_Color_RGB = static_cast<double>(static_cast<std::int32_t>(pixel));
  // A failed read is no colour: the swatch keeps what it shows, the coordinates still follow the cursor.
  const std::int32_t v = ToColorInteger(Pos_Color_RGB);
  if (IsColorValue(v)) SetBackColor(Picture1, static_cast<ColorValue>(v));
  SetText(Text1, DecimalText(CursorPos.x) + u"\t" + DecimalText(CursorPos.y));
}

void Form1::Text2_KeyPress(std::int16_t& KeyAscii) {
  if (KeyAscii != kEnterKey) return;
  if (GetText(Text2) == u"/info") {
    // Above the main window, which may be on top of every other window, and not blocking it.
    aboutBox_().Show(this);
    return;
  }
  SetTimerEnabled(Timer1, false);
  const std::int32_t v = ToColorInteger(Pos_Color_RGB);
  // The last read failed: writing a colour that was never on the screen would be wrong, so write nothing.
  if (IsColorValue(v)) {
    ColorR = static_cast<std::int16_t>(v & 255);
    ColorG = static_cast<std::int16_t>((v / 256) & 255);
    ColorB = static_cast<std::int16_t>((v / 65536) & 255);
    ColorText = DecC == kTrue ? ColorToDecimal(ColorR, ColorG, ColorB) : ColorToHex(ColorR, ColorG, ColorB);
    SetText(Text2, ColorText);
    // Replacing the clipboard's text replaces every format it held. A clipboard that stays busy is
    // given up quietly: the text is already in the entry box.
    if (Clip == kTrue) Sys().Toolkit().SetClipboardText(ColorText);
    // Said once, also when the text came out as the box held it (no change to hear then).
    Announce(Text2, ColorText);
  }
  SetTimerEnabled(Timer1, true);
}

// Alt+arrow moves the pointer one pixel, Alt+Shift+arrow ten, to hit an exact pixel; the arrows keep
// their meaning in the box otherwise. Where the pointer cannot be moved (Wayland) the keys do nothing.
void Form1::Text2_KeyDown(std::int16_t& KeyCode, std::int16_t Shift) {
  if ((Shift & ~kShiftMask) != kAltMask) return;
  std::int32_t dx = 0, dy = 0;
  switch (KeyCode) {
    case kKeyLeft: dx = -1; break;
    case kKeyRight: dx = 1; break;
    case kKeyUp: dy = -1; break;
    case kKeyDown: dy = 1; break;
    default: return;
  }
  KeyCode = 0;
  const std::int32_t step = (Shift & kShiftMask) ? kBigStep : 1;
  // From where the pointer is now, not from the last tick: two steps within one tick make two pixels.
  ScreenPoint at;
  if (!Sys().ScreenServices().CursorPos(at)) return;
  Sys().ScreenServices().MovePointer({at.x + dx * step, at.y + dy * step});
}

void Form1::Text2_Change() {
  const Text t = GetText(Text2);
  if (t.empty() || t[0] != u'#') return;
  SetBackColor(Picture1, static_cast<ColorValue>(HexToColor(t)));
  SetTimerEnabled(Timer1, false);
}

void Form1::Check1_Click() {
  if (NativeWindow* window = Native()) window->SetTopmost(CheckValue(Check1) == 1);
  SetFocus(Text2);
}

void Form1::Form_GotFocus() { SetFocus(Text2); }
void Form1::Picture1_GotFocus() { SetFocus(Text2); }
void Form1::Text1_GotFocus() { SetFocus(Text2); }

void Form1::OnLoad() { Form_Load(); }
void Form1::OnUnload(std::int16_t& cancel) { Form_Unload(cancel); }

void Form1::OnKeyPress(int control, std::int16_t& keyAscii) {
  if (control == Text2) Text2_KeyPress(keyAscii);
}

void Form1::OnKeyDown(int control, std::int16_t& keyCode, std::int16_t shift) {
  if (control == Text2) Text2_KeyDown(keyCode, shift);
}

void Form1::OnChange(int control) {
  if (control == Text2) Text2_Change();
}

void Form1::OnClick(int control) {
  if (control == Check1) Check1_Click();
}

void Form1::OnGotFocus(int control) {
  if (control == kWindowItself) Form_GotFocus();
  if (control == Picture1) Picture1_GotFocus();
  if (control == Text1) Text1_GotFocus();
}

void Form1::OnTimer(int control) {
  if (control == Timer1) Timer1_Timer();
}

bool Form1::HasTimerHandler(int control) const { return control == Timer1; }

}  // namespace tintvale
