// What the Qt backend's in-process tests share: the real platform the test program starts (null without
// a display), a recorder of window events, two small layouts and the fixture that skips without a display.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/qt/toolkit.h"
#include "tests/support/x11_client.h"

namespace tintvale::qt {

// The platform CreatePlatform made for this test program, or null when it could not start.
extern Platform* g_platform;

// Records what a window reports and lets a test act inside a handler.
class Recorder : public WindowEvents {
 public:
  std::function<void(int, std::int16_t&)> onKey;
  std::function<void(int)> onTick;
  std::function<void()> onClose;
  std::vector<int> keyCodes;
  int ticks = 0;
  int closes = 0;
  int changes = 0;

  void KeyPress(int control, std::int16_t& keyAscii) override {
    keyCodes.push_back(keyAscii);
    if (onKey) onKey(control, keyAscii);
  }
  void KeyDown(int, std::int16_t& keyCode, std::int16_t shift) override {
    keyDowns.emplace_back(keyCode, shift);
    if (swallowKeyDown) keyCode = 0;
  }
  void TextChanged(int) override { ++changes; }
  std::vector<std::pair<int, int>> keyDowns;  // code and shift mask
  bool swallowKeyDown = false;
  void Click(int) override {}
  void GotFocus(int) override {}
  void TimerTick(int control) override {
    ++ticks;
    if (onTick) onTick(control);
  }
  void CloseRequested() override {
    ++closes;
    if (onClose) onClose();
  }
};

constexpr int kBox = 0;
constexpr int kTimer = 1;

// A window with a text box (kBox) and a stopped 10 ms timer (kTimer).
WindowLayout SmallLayout();

// The small window with a swatch (kSwatch) of the given size beside its box.
constexpr int kSwatch = 2;
WindowLayout SwatchLayout(int sizeTwips);

ColorValue ToColorValue(const QColor& c);

class QtBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!g_platform) GTEST_SKIP() << "no display: the Qt backend could not start";
  }
  QtToolkit& Kit() { return static_cast<QtToolkit&>(g_platform->Toolkit()); }
  static bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }
};

// The text box whose left edge is at x in the window.
QLineEdit* BoxAt(QWidget* window, int x);

QWidget* VisibleWindowTitled(const QString& title);

}  // namespace tintvale::qt
