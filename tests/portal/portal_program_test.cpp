// The real program on the real Qt platform with the portal screen, run by portal_test.sh inside its
// private desktop (PortalProgram: two monitors, the primary at 0,0 and one on its left at scale 2, on an
// X server whose one monitor is not primary; PrimaryOrigin and IdenticalMonitors: below). The window's
// coordinate text and swatch are recorded as the program writes them; the test source's pointer and
// pictures are scripted through $TINTVALE_TEST_SOURCE_INPUT.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "main_window/program.h"
#include "platform/fake/fronted_platform.h"
#include "platform/platform.h"

namespace tintvale {
namespace {

struct Seen {
  Text coordinates;
  ColorValue swatch = kInvalidColor;
};
Seen g_seen;

class RecordingWindow final : public NativeWindow {
 public:
  RecordingWindow(std::unique_ptr<NativeWindow> inner, int text1, int picture1)
      : inner_(std::move(inner)), text1_(text1), picture1_(picture1) {}
  void Show() override { inner_->Show(); }
  void SetCaption(int control, const Text& caption) override { inner_->SetCaption(control, caption); }
  Text GetText(int control) const override { return inner_->GetText(control); }
  void SetText(int control, const Text& text) override {
    if (control == text1_) g_seen.coordinates = text;
    inner_->SetText(control, text);
  }
  void SetBackColor(int control, ColorValue color) override {
    if (control == picture1_) g_seen.swatch = color;
    inner_->SetBackColor(control, color);
  }
  int CheckValue(int control) const override { return inner_->CheckValue(control); }
  void SetFocus(int control) override { inner_->SetFocus(control); }
  void SetTopmost(bool onTop) override { inner_->SetTopmost(onTop); }
  void SetTimer(int control, bool enabled, int intervalMs) override { inner_->SetTimer(control, enabled, intervalMs); }
  void Announce(int control, const Text& text) override { inner_->Announce(control, text); }
  NativeWindow* Inner() { return inner_.get(); }

 private:
  std::unique_ptr<NativeWindow> inner_;
  int text1_, picture1_;
};

class RecordingToolkit final : public Toolkit {
 public:
  explicit RecordingToolkit(Toolkit& inner) : inner_(inner) {}
  std::unique_ptr<NativeWindow> BuildWindow(const WindowLayout& layout, WindowEvents& events,
                                            NativeWindow* owner) override {
    int text1 = -2, picture1 = -2;
    for (std::size_t i = 0; i < layout.controls.size(); ++i) {
      if (layout.name != "Form1") break;
      if (layout.controls[i].name == "Text1") text1 = static_cast<int>(i);
      if (layout.controls[i].name == "Picture1") picture1 = static_cast<int>(i);
    }
    NativeWindow* innerOwner = owner ? static_cast<RecordingWindow*>(owner)->Inner() : nullptr;
    return std::make_unique<RecordingWindow>(inner_.BuildWindow(layout, events, innerOwner), text1, picture1);
  }
  void PumpEvents() override { inner_.PumpEvents(); }
  int Run() override { return inner_.Run(); }
  void Quit() override { inner_.Quit(); }
  bool SetClipboardText(const Text& text) override { return inner_.SetClipboardText(text); }
  Text CommandLine() override { return inner_.CommandLine(); }

 private:
  Toolkit& inner_;
};

class RecordingScreen final : public ScreenServices {
 public:
  explicit RecordingScreen(ScreenServices& inner) : inner_(inner) {}
  std::unique_ptr<ScreenContext> GetScreen() override { return inner_.GetScreen(); }
  bool CursorPos(ScreenPoint& point) override { return inner_.CursorPos(point); }
  bool MovePointer(ScreenPoint point) override { return inner_.MovePointer(point); }

 private:
  ScreenServices& inner_;
};

// The real toolkit and screen behind the recording ones, kept for the whole test program.
struct Recording {
  explicit Recording(Platform& inner)
      : forms(inner.Toolkit()), screen(inner.ScreenServices()), platform(inner, forms, screen) {}
  RecordingToolkit forms;
  RecordingScreen screen;
  fake::FrontedPlatform platform;
};

std::unique_ptr<Platform> g_platform;
std::unique_ptr<Recording> g_recording;
std::unique_ptr<Program> g_program;

void Say(const std::string& command) {
  const char* path = std::getenv("TINTVALE_TEST_SOURCE_INPUT");
  ASSERT_NE(path, nullptr) << "run by portal_test.sh";
  std::ofstream(path, std::ios::app) << command << '\n';
}

Text Coordinates(int x, int y) {
  const std::string s = std::to_string(x) + "\t" + std::to_string(y);
  return Text(s.begin(), s.end());
}

std::string Shown() {
  const Text& t = g_seen.coordinates;
  char swatch[16];
  std::snprintf(swatch, sizeof swatch, "%08X", g_seen.swatch);
  return std::string(t.begin(), t.end()) + " swatch " + swatch;
}

// Waits (deadline 10 s) for the window to show the coordinates and the swatch colour (0x00BBGGRR).
::testing::AssertionResult Shows(int x, int y, ColorValue swatch) {
  const Text expected = Coordinates(x, y);
  if (QTest::qWaitFor([&] { return g_seen.coordinates == expected && g_seen.swatch == swatch; }, 10000)) {
    return ::testing::AssertionSuccess();
  }
  char want[16];
  std::snprintf(want, sizeof want, "%08X", swatch);
  return ::testing::AssertionFailure() << "shows " << Shown() << ", expected " << x << "\t" << y << " swatch " << want;
}

TEST(PortalProgram, SwatchAndCoordinatesFollowThePointerOnThePrimary) {
  Say("fill 0 FF0000");
  Say("rect 0 200 100 40 40 00AABB");
  Say("fill 1 00FF00");
  Say("cursor 0 100 50");
  EXPECT_TRUE(Shows(100, 50, 0x000000FF));
  // Buffers without a picture move the pointer; the kept frame is read again at the new place.
  Say("cursoronly 0 210 110");
  EXPECT_TRUE(Shows(210, 110, 0x00BBAA00));
  Say("cursoronly 0 319 239");
  EXPECT_TRUE(Shows(319, 239, 0x000000FF));
}

TEST(PortalProgram, AColourChangeUnderAStillPointerIsFollowed) {
  Say("cursor 0 220 120");
  EXPECT_TRUE(Shows(220, 120, 0x00BBAA00));
  Say("rect 0 200 100 40 40 123456");
  EXPECT_TRUE(Shows(220, 120, 0x00563412));
}

TEST(PortalProgram, ThePointerCannotBeMovedSoAltArrowDoesNothing) {
  // A Wayland client cannot move the pointer: the move is refused and the pointer stays where it is.
  EXPECT_FALSE(g_platform->ScreenServices().MovePointer({221, 120}));
  Say("rect 0 200 100 40 40 00AABB");
  EXPECT_TRUE(Shows(220, 120, 0x00BBAA00));
}

TEST(PortalProgram, AMonitorLeftOfThePrimaryGivesNegativeCoordinates) {
  // Logical -160,0 at scale 2: its frame starts at -320 on the screen.
  Say("rect 1 300 200 20 40 FFFF00");
  Say("cursor 1 10 20");
  EXPECT_TRUE(Shows(-310, 20, 0x0000FF00));
  Say("cursor 1 310 230");
  EXPECT_TRUE(Shows(-10, 230, 0x0000FFFF));
  // Back on the primary: the pointer is the one stream that reports it.
  Say("cursor 0 0 0");
  EXPECT_TRUE(Shows(0, 0, 0x000000FF));
}

TEST(PortalProgram, APositionOutsideAStreamsFrameIsNotThePointer) {
  Say("cursor 0 5 5");
  ASSERT_TRUE(Shows(5, 5, 0x000000FF));
  // The left monitor reports the pointer just past its right edge, as a desktop may for a cursor
  // picture that overlaps it: the pointer stays on the primary (a bounded look for what must not happen).
  Say("report 1 320 5");
  const Text wrong = Coordinates(0, 5);
  EXPECT_FALSE(QTest::qWaitFor([&] { return g_seen.coordinates == wrong; }, 1000)) << Shown();
  EXPECT_TRUE(Shows(5, 5, 0x000000FF));
}

// Run by portal_test.sh primary_origin and kde_placement: the X server lists a 160x240 monitor at 0,0 and
// the 320x240 primary at 160,0, as XWayland does for a monitor left of the primary on GNOME; stream 0 is
// the left monitor, stream 1 the primary (with their places, or for KDE without).
void Shell(const char* command) { ASSERT_EQ(std::system(command), 0) << command; }

TEST(PrimaryOrigin, CoordinatesStartAtThePrimarysTopLeft) {
  Say("fill 0 00FF00");
  Say("fill 1 FF0000");
  Say("rect 1 300 200 10 10 0000FF");
  Say("cursor 1 0 0");
  EXPECT_TRUE(Shows(0, 0, 0x000000FF));
  Say("cursor 1 305 205");
  EXPECT_TRUE(Shows(305, 205, 0x00FF0000));
  Say("cursor 0 0 0");
  EXPECT_TRUE(Shows(-160, 0, 0x0000FF00));
  Say("cursor 0 159 239");
  EXPECT_TRUE(Shows(-1, 239, 0x0000FF00));
}

TEST(PrimaryOrigin, ANewPrimaryWhileRunningMovesTheOrigin) {
  // The left monitor becomes the primary; the primary output's change is what RandR sends a notice for.
  Shell(
      "xrandr --delmonitor tintvale-primary && xrandr --delmonitor tintvale-left && "
      "xrandr --setmonitor '*tintvale-left' 160/42x240/63+0+0 screen >/dev/null && "
      "xrandr --setmonitor tintvale-primary 320/85x240/63+160+0 none >/dev/null && "
      "xrandr --output screen --noprimary");
  Say("cursor 1 0 0");
  EXPECT_TRUE(Shows(160, 0, 0x000000FF));
  Say("cursor 0 10 20");
  EXPECT_TRUE(Shows(10, 20, 0x0000FF00));
}

// Run by portal_test.sh kde_identical: two 240x240 monitors, A at 0,0 and the primary B at 240,0, and two
// streams of that size without a position, stream 0 showing A. RandR lists the primary first, so the
// order alone would put stream 0 on B.
QRect MainWindowPlace() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowTitle() == QLatin1String("Tintvale")) return w->geometry();
  }
  return {};
}

TEST(IdenticalMonitors, ThePointerOverAnX11WindowTellsThemApart) {
  Say("fill 0 FF0000");
  Say("fill 1 00FF00");
  // The X server's pointer over no window (it could be stale there): the streams are taken in RandR's
  // order, here the wrong one, and the colour is still the reporting stream's.
  Shell("xdotool mousemove 475 235");
  Say("cursor 0 10 10");
  EXPECT_TRUE(Shows(10, 10, 0x000000FF));
  // Over the program's own window the X server knows the pointer: the stream that reports it there is
  // on the monitor that holds that point.
  const QRect window = MainWindowPlace();
  ASSERT_FALSE(window.isEmpty());
  const int x = window.center().x(), y = window.center().y();
  const bool onA = x < 240;
  Shell(("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y)).c_str());
  Say(onA ? "cursor 0 " + std::to_string(x) + " " + std::to_string(y)
          : "cursor 1 " + std::to_string(x - 240) + " " + std::to_string(y));
  EXPECT_TRUE(Shows(x - 240, y, onA ? 0x000000FF : 0x0000FF00));
  Shell("xdotool mousemove 475 235");
  Say("cursor 0 10 10");
  EXPECT_TRUE(Shows(-230, 10, 0x000000FF));
  Say("cursor 1 10 10");
  EXPECT_TRUE(Shows(10, 10, 0x0000FF00));
}

}  // namespace
}  // namespace tintvale

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  char* args[] = {argv[0], nullptr};
  tintvale::g_platform = tintvale::CreatePlatform(1, args);
  if (!tintvale::g_platform) return 1;
  tintvale::g_recording = std::make_unique<tintvale::Recording>(*tintvale::g_platform);
  tintvale::g_program = std::make_unique<tintvale::Program>(tintvale::g_recording->platform);
  tintvale::g_program->Start();
  const int status = RUN_ALL_TESTS();
  tintvale::g_program.reset();
  tintvale::g_recording.reset();
  tintvale::g_platform.reset();
  return status;
}
