// The X11 screen's pure functions, which need no connection: a pixel value in a Z-pixmap image, its
// offset in the image of a region, the region that follows the pointer, a true-colour pixel as a colour
// value, and where screen coordinates start among RandR's monitors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace tintvale::x11 {

// How a pixel of a root's image is laid out, as the X server describes it.
struct PixelFormat {
  int bitsPerPixel = 32;
  bool msbFirst = false;  // the image's byte order
  std::uint32_t redMask = 0;
  std::uint32_t greenMask = 0;
  std::uint32_t blueMask = 0;
};

// The pixel value stored in the first bitsPerPixel bits of data (8, 16, 24 or 32); false when too short.
bool ReadPixelValue(const std::uint8_t* data, std::size_t length, const PixelFormat& format, std::uint32_t& pixel);
// Where the pixel at (x, y) of the root starts in a Z-pixmap image of region, whose rows are padded to
// scanlinePad bits; false when the point is outside the region or the image is too short.
struct Region {
  std::int32_t x = 0, y = 0, width = 0, height = 0;
};
bool PixelOffset(const Region& region, int bitsPerPixel, int scanlinePad, std::size_t length, std::int32_t x,
                 std::int32_t y, std::size_t& offset);
// The square of side span (at most the root's size) centred where the pointer will be if it keeps its
// last step from previous to last, moved inside a root of rootWidth x rootHeight.
Region PredictedRegion(ScreenPoint previous, ScreenPoint last, int rootWidth, int rootHeight, int span);

// A true-colour pixel as 0x00BBGGRR: wider channels keep their top 8 bits, narrower ones are widened
// by bit replication.
ColorValue DecodeTrueColor(std::uint32_t pixel, const PixelFormat& format);

// A monitor as RandR lists it: its place on the root, and whether it is the primary one.
struct Monitor {
  std::int32_t x = 0, y = 0;
  bool primary = false;
  std::int32_t width = 0, height = 0;
};
// Where screen coordinates start on a root: the top left of the primary monitor, else of the root.
ScreenPoint PrimaryOrigin(const std::vector<Monitor>& monitors);

}  // namespace tintvale::x11
