// The X11 screen's pure functions, which need no display: pixel values of every depth and byte order,
// offsets in an image of a region, the region that follows the pointer, and the primary monitor's origin.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/x11/pixel_decode.h"

namespace tintvale::x11 {
namespace {

TEST(PixelDecode, ValuesOfEveryDepthAndByteOrder) {
  struct Row {
    const char* name;
    std::vector<std::uint8_t> bytes;
    PixelFormat format;
    ColorValue expected;
  };
  const PixelFormat rgb24{32, false, 0xFF0000, 0x00FF00, 0x0000FF};
  const Row rows[] = {
      {"24-bit in 32 bpp, LSB first (B,G,R,X)", {0xAB, 0x00, 0x0A, 0x00}, rgb24, 0x00AB000A},
      {"24-bit in 32 bpp, MSB first", {0x00, 0x12, 0xA5, 0xC3}, {32, true, 0xFF0000, 0x00FF00, 0x0000FF}, 0x00C3A512},
      {"24-bit packed 24 bpp", {0xC3, 0xA5, 0x12}, {24, false, 0xFF0000, 0x00FF00, 0x0000FF}, 0x00C3A512},
      {"white", {0xFF, 0xFF, 0xFF, 0xFF}, rgb24, 0x00FFFFFF},
      {"16-bit 565 of #0A00AB", {0x15, 0x08}, {16, false, 0xF800, 0x07E0, 0x001F}, 0x00AD0008},
      {"16-bit 565 full white", {0xFF, 0xFF}, {16, false, 0xF800, 0x07E0, 0x001F}, 0x00FFFFFF},
      {"16-bit 565 of #12A5C3 (6-bit green)", {0x38, 0x15}, {16, false, 0xF800, 0x07E0, 0x001F}, 0x00C6A610},
      {"30-bit 10-10-10 of #0A00AB widened by replication",
       {0xAE, 0x02, 0x80, 0x02},
       {32, false, 0x3FF00000, 0x000FFC00, 0x000003FF},
       0x00AB000A},
      {"30-bit as Xvfb stores #0A00AB (blue 684)",
       {0xAC, 0x02, 0x80, 0x02},
       {32, false, 0x3FF00000, 0x000FFC00, 0x000003FF},
       0x00AB000A},
      {"30-bit full white", {0xFF, 0xFF, 0xFF, 0x3F}, {32, false, 0x3FF00000, 0x000FFC00, 0x000003FF}, 0x00FFFFFF},
      {"3-bit channels (8-bit true colour 332)", {0xB6}, {8, false, 0xE0, 0x1C, 0x03}, 0x00AAB6B6},
      {"BGR masks", {0x0A, 0x00, 0xAB, 0x00}, {32, false, 0x0000FF, 0x00FF00, 0xFF0000}, 0x00AB000A},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::uint32_t pixel = 0;
    ASSERT_TRUE(ReadPixelValue(row.bytes.data(), row.bytes.size(), row.format, pixel));
    EXPECT_EQ(DecodeTrueColor(pixel, row.format), row.expected);
  }
}

TEST(PixelDecode, OffsetsInsideAnImageOfARegion) {
  struct Row {
    const char* name;
    Region region;
    int bitsPerPixel;
    int pad;
    std::size_t length;
    int x;
    int y;
    bool found;
    std::size_t offset;
  };
  const Row rows[] = {
      {"top-left", {10, 20, 4, 3}, 32, 32, 48, 10, 20, true, 0},
      {"second row", {10, 20, 4, 3}, 32, 32, 48, 11, 21, true, 20},
      {"bottom-right", {10, 20, 4, 3}, 32, 32, 48, 13, 22, true, 44},
      {"left of it", {10, 20, 4, 3}, 32, 32, 48, 9, 21, false, 0},
      {"right of it", {10, 20, 4, 3}, 32, 32, 48, 14, 21, false, 0},
      {"below it", {10, 20, 4, 3}, 32, 32, 48, 10, 23, false, 0},
      {"image too short", {10, 20, 4, 3}, 32, 32, 47, 13, 22, false, 0},
      {"16 bpp rows padded to 32 bits", {0, 0, 3, 2}, 16, 32, 16, 2, 1, true, 12},
      {"24 bpp rows padded to 32 bits", {0, 0, 3, 2}, 24, 32, 24, 1, 1, true, 15},
      {"8 bpp rows padded to 32 bits", {0, 0, 5, 2}, 8, 32, 16, 4, 1, true, 12},
      {"4 bpp is not read", {0, 0, 4, 1}, 4, 32, 4, 0, 0, false, 0},
      {"no pad", {0, 0, 4, 1}, 32, 0, 16, 0, 0, false, 0},
      {"far corner of a large root", {32735, 32735, 32, 32}, 32, 32, 4096, 32766, 32766, true, 31 * 128 + 31 * 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::size_t offset = 0;
    EXPECT_EQ(PixelOffset(row.region, row.bitsPerPixel, row.pad, row.length, row.x, row.y, offset), row.found);
    if (row.found) {
      EXPECT_EQ(offset, row.offset);
    }
  }
}

TEST(PixelDecode, RegionFollowsThePointersLastStepAndStaysOnTheRoot) {
  struct Row {
    const char* name;
    ScreenPoint previous;
    ScreenPoint last;
    int width;
    int height;
    Region expected;
  };
  const Row rows[] = {
      {"standing still", {500, 400}, {500, 400}, 1280, 800, {484, 384, 32, 32}},
      {"moving right by 8", {492, 400}, {500, 400}, 1280, 800, {492, 384, 32, 32}},
      {"moving up-left", {510, 410}, {500, 400}, 1280, 800, {474, 374, 32, 32}},
      {"at the top-left corner", {0, 0}, {0, 0}, 1280, 800, {0, 0, 32, 32}},
      {"heading off the right edge", {1270, 790}, {1279, 799}, 1280, 800, {1248, 768, 32, 32}},
      {"a root smaller than the square", {5, 5}, {6, 6}, 20, 10, {0, 0, 20, 10}},
      {"a jump of the whole root", {0, 0}, {1279, 799}, 1280, 800, {1248, 768, 32, 32}},
      {"extreme coordinates", {-32768, -32768}, {32767, 32767}, 32767, 32767, {32735, 32735, 32, 32}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Region r = PredictedRegion(row.previous, row.last, row.width, row.height, 32);
    EXPECT_EQ(r.x, row.expected.x);
    EXPECT_EQ(r.y, row.expected.y);
    EXPECT_EQ(r.width, row.expected.width);
    EXPECT_EQ(r.height, row.expected.height);
  }
}

TEST(ScreenOrigin, ThePrimaryMonitorsTopLeftElseTheRoots) {
  struct Row {
    const char* name;
    std::vector<Monitor> monitors;
    ScreenPoint expected;
  };
  const Row rows[] = {
      {"no monitors (RandR without them)", {}, {0, 0}},
      {"none is primary", {{0, 0, false}, {1280, 0, false}}, {0, 0}},
      {"the right half is primary", {{0, 0, false}, {1280, 0, true}}, {1280, 0}},
      {"primary listed first, below another", {{0, 1024, true}, {0, 0, false}}, {0, 1024}},
      {"a primary left of the root's origin", {{-640, 0, true}, {0, 0, false}}, {-640, 0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ScreenPoint origin = PrimaryOrigin(row.monitors);
    EXPECT_EQ(origin.x, row.expected.x);
    EXPECT_EQ(origin.y, row.expected.y);
  }
}

TEST(PixelDecode, ShortOrOddDataIsRefused) {
  std::uint32_t pixel = 0;
  const std::uint8_t two[2] = {1, 2};
  EXPECT_FALSE(ReadPixelValue(two, 2, PixelFormat{32, false, 0xFF0000, 0xFF00, 0xFF}, pixel));
  EXPECT_FALSE(ReadPixelValue(two, 2, PixelFormat{12, false, 0xF00, 0xF0, 0xF}, pixel));
  EXPECT_FALSE(ReadPixelValue(two, 0, PixelFormat{8, false, 0, 0, 0}, pixel));
}

}  // namespace
}  // namespace tintvale::x11
