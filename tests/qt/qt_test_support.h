// What the Qt backend's in-process tests share: the real platform the test program starts (null without
// a display), a recorder of window events, two small layouts, the fixture that skips without a display, and
// an X client of the test's own that paints the root and moves the pointer.
#pragma once

#include <gtest/gtest.h>
#include <xcb/xcb.h>

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

class X11Client {
 public:
  X11Client() : c_(xcb_connect(nullptr, nullptr)) {}
  ~X11Client() { xcb_disconnect(c_); }
  bool Ok() const { return xcb_connection_has_error(c_) == 0; }
  xcb_screen_t* Screen() { return xcb_setup_roots_iterator(xcb_get_setup(c_)).data; }
  // Root background of a 24-bit true-colour screen, painted at once.
  void PaintRoot(std::uint32_t rgb) {
    xcb_change_window_attributes(c_, Screen()->root, XCB_CW_BACK_PIXEL, &rgb);
    xcb_clear_area(c_, 0, Screen()->root, 0, 0, 0, 0);
    Sync();
  }
  // Root background of a 24-bit screen: colour(x, y) inside the square at (x0, y0) of side size, base
  // outside it.
  void PaintRootPattern(std::uint32_t base, int x0, int y0, int size, std::uint32_t (*colour)(int, int)) {
    xcb_screen_t* s = Screen();
    const xcb_pixmap_t pixmap = xcb_generate_id(c_);
    xcb_create_pixmap(c_, s->root_depth, pixmap, s->root, s->width_in_pixels, s->height_in_pixels);
    const xcb_gcontext_t gc = xcb_generate_id(c_);
    xcb_create_gc(c_, gc, pixmap, XCB_GC_FOREGROUND, &base);
    const xcb_rectangle_t all{0, 0, s->width_in_pixels, s->height_in_pixels};
    xcb_poly_fill_rectangle(c_, pixmap, gc, 1, &all);
    std::vector<std::uint32_t> row(static_cast<std::size_t>(size));
    for (int y = y0; y < y0 + size; ++y) {
      for (int x = x0; x < x0 + size; ++x) row[static_cast<std::size_t>(x - x0)] = colour(x, y);
      xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<std::uint16_t>(size), 1,
                    static_cast<std::int16_t>(x0), static_cast<std::int16_t>(y), 0, s->root_depth,
                    static_cast<std::uint32_t>(row.size() * 4), reinterpret_cast<const std::uint8_t*>(row.data()));
    }
    xcb_change_window_attributes(c_, s->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(c_, 0, s->root, 0, 0, 0, 0);
    xcb_free_gc(c_, gc);
    xcb_free_pixmap(c_, pixmap);
    Sync();
  }
  void MovePointer(int x, int y) {
    xcb_warp_pointer(c_, XCB_NONE, Screen()->root, 0, 0, 0, 0, static_cast<std::int16_t>(x),
                     static_cast<std::int16_t>(y));
    Sync();
  }

 private:
  void Sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
  xcb_connection_t* c_;
};

// The text box whose left edge is at x in the window.
QLineEdit* BoxAt(QWidget* window, int x);

QWidget* VisibleWindowTitled(const QString& title);

}  // namespace tintvale::qt
