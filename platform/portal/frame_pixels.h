// The colour of one pixel of a screen-cast video frame as it lies in a mapped buffer. No PipeWire, D-Bus
// or Qt types.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/color_value.h"

namespace tintvale::portal {

// The four-byte pixel layouts a screen-cast stream may use, named by their bytes in memory (BGRx: blue
// first). The alpha variants read as their x forms: a screen's picture is opaque.
enum class FrameFormat { kUnknown, kBGRx, kRGBx, kxRGB, kxBGR, kBGRA, kRGBA, kARGB, kABGR };

// One frame as it lies in a mapped buffer: the picture starts offset bytes into data (size bytes long),
// rows are stride bytes apart.
struct FrameView {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t offset = 0;
  std::int32_t stride = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  FrameFormat format = FrameFormat::kUnknown;
};

// The pixel at (x, y) of the frame as 0x00BBGGRR; kInvalidColor outside the frame, for a stride shorter
// than a row, an unknown format or a buffer too short to hold the pixel.
ColorValue FramePixel(const FrameView& frame, std::int32_t x, std::int32_t y);

}  // namespace tintvale::portal
