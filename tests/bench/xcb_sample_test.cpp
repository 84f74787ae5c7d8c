// Needs an X server ($DISPLAY, e.g. under scripts/with-x.sh); skipped without one.
#include "bench/xcb_sample.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "bench/figures.h"

namespace tintvale::bench {
namespace {

// The root is shared with the tests that run after these: leave it as it was found.
struct StripedRoot {
  StripedRoot(xcb_connection_t* conn, xcb_window_t r, int width, int height) : c(conn), root(r) {
    PaintStripes(c, root, width, height);
  }
  ~StripedRoot() { ClearStripes(c, root); }
  xcb_connection_t* c;
  xcb_window_t root;
};

TEST(XcbSample, TheStripedRootReadsBackUnderEveryPointerPosition) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  xcb_window_t root = 0;
  int width = 0, height = 0;
  XcbConnection c = Connect(root, width, height);
  ASSERT_TRUE(c);
  StripedRoot stripes(c.get(), root, width, height);
  // Requests on one connection are handled in order, so the pointer has moved when the query runs.
  const int points[][2] = {{0, height - 1},
                           {kStripeWidth - 1, 0},
                           {kStripeWidth, height / 2},
                           {width / 2 + 3, height - 40},
                           {width - 1, height - 1}};
  for (const auto& p : points) {
    MovePointer(c.get(), root, p[0], p[1]);
    int x = -1, y = -1;
    std::uint32_t pixel = 0;
    ASSERT_TRUE(SampleOnce(c.get(), root, x, y, pixel)) << "at " << p[0] << "," << p[1];
    EXPECT_EQ(x, p[0]);
    EXPECT_EQ(y, p[1]);
    EXPECT_EQ(pixel, StripePixel(p[0] / kStripeWidth)) << "at " << p[0] << "," << p[1];
  }
}

TEST(XcbSample, TheMoverPathStaysOnStripesWhoseColoursTheSwatchCanBeMatchedTo) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  xcb_window_t root = 0;
  int width = 0, height = 0;
  XcbConnection c = Connect(root, width, height);
  ASSERT_TRUE(c);
  StripedRoot stripes(c.get(), root, width, height);
  for (long step = 0; step < 2 * width / kStripeWidth + 4; ++step) {
    int mx = MoverX(step, width);
    MovePointer(c.get(), root, mx, height - 40);
    int x = -1, y = -1;
    std::uint32_t pixel = 0;
    ASSERT_TRUE(SampleOnce(c.get(), root, x, y, pixel)) << "step " << step;
    // The swatch gets 0x00BBGGRR; the lag matching compares against StripeColor.
    std::uint32_t asColor = (pixel >> 16 & 0xFFu) | (pixel & 0xFF00u) | (pixel & 0xFFu) << 16;
    ASSERT_EQ(asColor, StripeColor(mx / kStripeWidth)) << "step " << step;
  }
}

}  // namespace
}  // namespace tintvale::bench
