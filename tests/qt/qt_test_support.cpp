// The Qt backend's in-process test program: the shared helpers, and a main that starts the real platform.
#include "tests/qt/qt_test_support.h"

#include <QApplication>
#include <cstdlib>
#include <memory>

namespace tintvale::qt {

Platform* g_platform = nullptr;

WindowLayout SmallLayout() {
  WindowLayout w;
  w.name = "Small";
  w.caption = u"Small";
  w.clientWidth = 3000;
  w.clientHeight = 900;
  w.controls.resize(2);
  // A control on two lines, as a layout table reads (clang-format would give each field a line of its own).
  // clang-format off
  w.controls[kBox] = {.kind = ControlKind::TextBox, .name = "Box", .left = 120, .top = 120, .width = 2000,
                      .height = 300, .tabIndex = 0};
  // clang-format on
  w.controls[kTimer] = {.kind = ControlKind::Timer, .name = "Tick"};
  w.controls[kTimer].intervalMs = 10;
  w.controls[kTimer].enabled = false;
  return w;
}

WindowLayout SwatchLayout(int sizeTwips) {
  WindowLayout w = SmallLayout();
  // clang-format off
  w.controls.push_back({.kind = ControlKind::PictureBox, .name = "Swatch", .left = 2200, .top = 120,
                        .width = sizeTwips, .height = sizeTwips, .tabIndex = 1});
  // clang-format on
  return w;
}

ColorValue ToColorValue(const QColor& c) { return static_cast<ColorValue>(c.red() | c.green() << 8 | c.blue() << 16); }

QLineEdit* BoxAt(QWidget* window, int x) {
  for (QLineEdit* e : window->findChildren<QLineEdit*>()) {
    if (e->x() == x) return e;
  }
  return nullptr;
}

QWidget* VisibleWindowTitled(const QString& title) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowTitle() == title) return w;
  }
  return nullptr;
}

}  // namespace tintvale::qt

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::unique_ptr<tintvale::Platform> platform;
  if (!::testing::GTEST_FLAG(list_tests)) {
    // These cases read the screen through X11 even inside a Wayland session; tests/portal covers the portal.
    setenv("TINTVALE_SCREEN", "x11", 1);
    platform = tintvale::CreatePlatform(argc, argv);
    tintvale::qt::g_platform = platform.get();
  }
  return RUN_ALL_TESTS();
}
