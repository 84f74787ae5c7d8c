#include "platform/x11/pixel_decode.h"

#include <algorithm>
#include <bit>

namespace tintvale::x11 {
namespace {

// Channels wider than 8 bits keep their top 8 bits, the inverse of the usual widening by bit
// replication (so #0A00AB set on a 10-bit server reads back as #0A00AB); narrower ones are widened by
// replicating their bits, as X and Qt draw them (5 bits 10101 -> 10101101).
std::uint32_t ScaleChannel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask >> shift);
  const std::uint32_t value = (pixel & mask) >> shift;
  if (bits >= 8) return value >> (bits - 8);
  std::uint32_t widened = 0;
  int filled = 0;
  while (filled < 8) {
    widened = (widened << bits) | value;
    filled += bits;
  }
  return widened >> (filled - 8);
}

}  // namespace

bool PixelOffset(const Region& region, int bitsPerPixel, int scanlinePad, std::size_t length, std::int32_t x,
                 std::int32_t y, std::size_t& offset) {
  if (bitsPerPixel <= 0 || bitsPerPixel % 8 != 0 || scanlinePad <= 0 || scanlinePad % 8 != 0) return false;
  const std::int64_t dx = std::int64_t{x} - region.x;
  const std::int64_t dy = std::int64_t{y} - region.y;
  if (dx < 0 || dy < 0 || dx >= region.width || dy >= region.height) return false;
  const std::int64_t rowBits = std::int64_t{region.width} * bitsPerPixel;
  const std::int64_t bytesPerRow = (rowBits + scanlinePad - 1) / scanlinePad * scanlinePad / 8;
  const std::int64_t at = dy * bytesPerRow + dx * (bitsPerPixel / 8);
  if (at + bitsPerPixel / 8 > static_cast<std::int64_t>(length)) return false;
  offset = static_cast<std::size_t>(at);
  return true;
}

Region PredictedRegion(ScreenPoint previous, ScreenPoint last, int rootWidth, int rootHeight, int span) {
  auto axis = [span](std::int32_t before, std::int32_t now, int size, std::int32_t& start, std::int32_t& extent) {
    extent = std::max(0, std::min(span, size));
    const std::int64_t expected = 2 * std::int64_t{now} - before;
    const std::int64_t from = expected - extent / 2;
    start = static_cast<std::int32_t>(std::clamp<std::int64_t>(from, 0, size - extent));
  };
  Region r;
  axis(previous.x, last.x, rootWidth, r.x, r.width);
  axis(previous.y, last.y, rootHeight, r.y, r.height);
  return r;
}

ScreenPoint PrimaryOrigin(const std::vector<Monitor>& monitors) {
  for (const Monitor& m : monitors) {
    if (m.primary) return {m.x, m.y};
  }
  return {};
}

bool ReadPixelValue(const std::uint8_t* data, std::size_t length, const PixelFormat& format, std::uint32_t& pixel) {
  const int bytes = format.bitsPerPixel / 8;
  if (bytes < 1 || bytes > 4 || format.bitsPerPixel % 8 != 0 || length < static_cast<std::size_t>(bytes)) {
    return false;
  }
  pixel = 0;
  for (int i = 0; i < bytes; ++i) {
    const int index = format.msbFirst ? i : bytes - 1 - i;
    pixel = (pixel << 8) | data[index];
  }
  return true;
}

ColorValue DecodeTrueColor(std::uint32_t pixel, const PixelFormat& format) {
  return ScaleChannel(pixel, format.redMask) | ScaleChannel(pixel, format.greenMask) << 8 |
         ScaleChannel(pixel, format.blueMask) << 16;
}

}  // namespace tintvale::x11
