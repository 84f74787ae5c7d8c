#include "platform/portal/frame_pixels.h"

namespace tintvale::portal {
namespace {

// Where red, green and blue sit among a pixel's four bytes.
struct ByteOrder {
  int red, green, blue;
};

bool OrderOf(FrameFormat format, ByteOrder& order) {
  switch (format) {
    case FrameFormat::kBGRx:
    case FrameFormat::kBGRA: order = {2, 1, 0}; return true;
    case FrameFormat::kRGBx:
    case FrameFormat::kRGBA: order = {0, 1, 2}; return true;
    case FrameFormat::kxRGB:
    case FrameFormat::kARGB: order = {1, 2, 3}; return true;
    case FrameFormat::kxBGR:
    case FrameFormat::kABGR: order = {3, 2, 1}; return true;
    case FrameFormat::kUnknown: break;
  }
  return false;
}

}  // namespace

ColorValue FramePixel(const FrameView& frame, std::int32_t x, std::int32_t y) {
  ByteOrder order{};
  if (!frame.data || !OrderOf(frame.format, order)) return kInvalidColor;
  if (x < 0 || y < 0 || x >= frame.width || y >= frame.height) return kInvalidColor;
  if (frame.stride < std::int64_t{frame.width} * 4) return kInvalidColor;
  const std::uint64_t at = frame.offset + std::uint64_t(y) * std::uint64_t(frame.stride) + std::uint64_t(x) * 4;
  if (at + 4 > frame.size) return kInvalidColor;
  const std::uint8_t* p = frame.data + at;
  return ColorValue{p[order.red]} | ColorValue{p[order.green]} << 8 | ColorValue{p[order.blue]} << 16;
}

}  // namespace tintvale::portal
