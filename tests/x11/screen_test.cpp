// The X11 screen on the X server of $DISPLAY, with no toolkit: the pointer and the pixel under it, exact
// for steps, jumps and the root's edges, and one moment for the pointer and its pixel. Skipped without
// an X server.
#include "platform/x11/screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "tests/support/x11_client.h"

namespace tintvale::x11 {
namespace {

// Every pixel of the pattern differs from its neighbours in all three channels.
std::uint32_t PatternColour(int x, int y) {
  return static_cast<std::uint32_t>((x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x * 7 + y * 13) & 0xFF));
}
ColorValue AsColorValue(std::uint32_t rgb) { return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16; }

TEST(X11Screen, PixelUnderThePointerIsExactForStepsJumpsAndEdges) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server";
  test_support::X11Client x;
  ASSERT_TRUE(x.Ok());
  if (x.Screen()->root_depth != 24) GTEST_SKIP() << "the test paints a 24-bit screen";
  const int w = x.Screen()->width_in_pixels, h = x.Screen()->height_in_pixels;
  x.PaintRootPattern(0x0A00AB, 100, 100, 200, PatternColour);
  auto expected = [&](int px, int py) {
    const bool inside = px >= 100 && px < 300 && py >= 100 && py < 300;
    return AsColorValue(inside ? PatternColour(px, py) : 0x0A00AB);
  };

  // The test's own connection stands for the toolkit's; the screen opens one of its own beside it.
  X11Screen screen(x.Connection(), nullptr);
  std::unique_ptr<ScreenContext> dc = screen.GetScreen();
  ASSERT_NE(dc, nullptr);
  struct Row {
    const char* move;
    int x;
    int y;
  };
  const Row rows[] = {
      {"first look", 150, 150},
      {"one pixel right", 151, 150},
      {"same step again", 152, 150},
      {"standing still", 152, 150},
      {"steps of 8", 160, 150},
      {"", 168, 150},
      {"turning back", 160, 151},
      {"diagonal", 170, 161},
      {"jump far away", 290, 290},
      {"last pattern pixel", 299, 299},
      {"just outside", 300, 300},
      {"root's top-left", 0, 0},
      {"one step in", 1, 1},
      {"root's far corner", w - 1, h - 1},
      {"along the bottom", w - 9, h - 1},
      {"back into the pattern", 100, 100},
      {"its first column", 100, 101},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.move) + " to " + std::to_string(row.x) + "," + std::to_string(row.y));
    x.MovePointer(row.x, row.y);
    ScreenPoint p;
    ASSERT_TRUE(screen.CursorPos(p));
    EXPECT_EQ(p.x, row.x);
    EXPECT_EQ(p.y, row.y);
    EXPECT_EQ(dc->Pixel(p.x, p.y), expected(row.x, row.y));
    // A neighbour read next is read from the screen as it is now.
    EXPECT_EQ(dc->Pixel(std::min(p.x + 1, w - 1), p.y), expected(std::min(p.x + 1, w - 1), row.y));
  }

  // What the pointer's read brought along answers only the read that follows it.
  x.MovePointer(150, 150);
  ScreenPoint p;
  ASSERT_TRUE(screen.CursorPos(p));
  ASSERT_TRUE(screen.CursorPos(p));  // now standing still there
  EXPECT_EQ(dc->Pixel(150, 150), expected(150, 150));
  x.PaintRoot(0x102030);
  EXPECT_EQ(dc->Pixel(150, 150), AsColorValue(0x102030));
  ASSERT_TRUE(screen.CursorPos(p));
  x.PaintRoot(0x405060);
  EXPECT_EQ(dc->Pixel(150, 150), AsColorValue(0x102030)) << "the pointer and its pixel are one moment";
  EXPECT_EQ(dc->Pixel(150, 150), AsColorValue(0x405060));
}

}  // namespace
}  // namespace tintvale::x11
