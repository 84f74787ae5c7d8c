// Pixels of shared-memory frames in every accepted layout, with padded rows and an offset.
#include "platform/portal/frame_pixels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tintvale::portal {
namespace {

struct FormatRow {
  FrameFormat format;
  std::uint8_t bytes[4];  // how 0x00BBGGRR = 0x00332211 (red 11, green 22, blue 33) lies in memory
  const char* name;
};

TEST(FramePixel, EveryLayoutWithStrideAndOffset) {
  const FormatRow rows[] = {
      {FrameFormat::kBGRx, {0x33, 0x22, 0x11, 0x00}, "BGRx"}, {FrameFormat::kBGRA, {0x33, 0x22, 0x11, 0x80}, "BGRA"},
      {FrameFormat::kRGBx, {0x11, 0x22, 0x33, 0x00}, "RGBx"}, {FrameFormat::kRGBA, {0x11, 0x22, 0x33, 0x80}, "RGBA"},
      {FrameFormat::kxRGB, {0x00, 0x11, 0x22, 0x33}, "xRGB"}, {FrameFormat::kARGB, {0x80, 0x11, 0x22, 0x33}, "ARGB"},
      {FrameFormat::kxBGR, {0x00, 0x33, 0x22, 0x11}, "xBGR"}, {FrameFormat::kABGR, {0x80, 0x33, 0x22, 0x11}, "ABGR"},
  };
  // A 3 x 2 frame, rows 20 bytes apart (8 bytes of padding), starting 5 bytes into the buffer; the pixel
  // at (2, 1) holds the colour, every other byte is 0xEE.
  for (const FormatRow& row : rows) {
    std::vector<std::uint8_t> buffer(5 + 2 * 20, 0xEE);
    std::copy(row.bytes, row.bytes + 4, buffer.begin() + 5 + 20 + 8);
    FrameView f{buffer.data(), buffer.size(), 5, 20, 3, 2, row.format};
    EXPECT_EQ(FramePixel(f, 2, 1), 0x00332211u) << row.name;
    EXPECT_EQ(FramePixel(f, 1, 1), 0x00EEEEEEu) << row.name;
  }
}

TEST(FramePixel, FailsWhereThePixelCannotBeRead) {
  std::vector<std::uint8_t> buffer(64, 0);
  const FrameView good{buffer.data(), buffer.size(), 0, 16, 4, 4, FrameFormat::kBGRx};
  struct Row {
    FrameView frame;
    std::int32_t x, y;
    const char* why;
  } rows[] = {
      {good, 4, 0, "right of the frame"},
      {good, 0, 4, "below the frame"},
      {good, -1, 0, "left of the frame"},
      {good, 0, -1, "above the frame"},
      {{buffer.data(), buffer.size(), 0, 12, 4, 4, FrameFormat::kBGRx}, 0, 0, "stride shorter than a row"},
      {{buffer.data(), buffer.size(), 4, 16, 4, 4, FrameFormat::kBGRx}, 3, 3, "offset pushes the last pixel out"},
      {{buffer.data(), 60, 0, 16, 4, 4, FrameFormat::kBGRx}, 3, 3, "buffer one pixel short"},
      {{buffer.data(), buffer.size(), 0, 16, 4, 4, FrameFormat::kUnknown}, 0, 0, "unknown format"},
      {{nullptr, 0, 0, 16, 4, 4, FrameFormat::kBGRx}, 0, 0, "no frame yet"},
  };
  for (const Row& r : rows) EXPECT_EQ(FramePixel(r.frame, r.x, r.y), kInvalidColor) << r.why;
  EXPECT_EQ(FramePixel(good, 3, 3), 0u) << "the last pixel of a frame that fits exactly";
}

}  // namespace
}  // namespace tintvale::portal
