#include "resources/icon.h"

#include <algorithm>

namespace tintvale {
namespace {

// Palette: 0 black, 1 off-white, then the gradient stops from violet through crimson, red and orange to
// yellow. The remaining entries stay black, as in any 256-colour image that uses fewer colours.
constexpr IconColor kBlack{0, 0, 0};
constexpr IconColor kOffWhite{0xF4, 0xF1, 0xE8};
constexpr IconColor kStops[] = {
    {0x7A, 0x1F, 0xA2},                      // violet
    {0xB0, 0x12, 0x6A},                      // crimson
    {0xDC, 0x14, 0x3C}, {0xFF, 0x00, 0x00},  // pure red, across the middle
    {0xFF, 0x55, 0x00}, {0xFF, 0x8C, 0x00},  // orange
    {0xFF, 0xC0, 0x00}, {0xFF, 0xEE, 0x10},  // yellow
};
constexpr int kStopCount = sizeof kStops / sizeof kStops[0];
constexpr int kBands = 13;  // narrow diagonal bands across the inner square
constexpr int kFirstBandIndex = 2;

IconColor Mix(IconColor a, IconColor b, int num, int den) {
  auto mix = [&](int x, int y) { return static_cast<std::uint8_t>(x + (y - x) * num / den); };
  return {mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)};
}

IconImage Draw() {
  IconImage img{};
  img.palette.fill(kBlack);
  img.palette[1] = kOffWhite;
  for (int band = 0; band < kBands; ++band) {
    // Position of this band along the stops, in 1/(kBands-1) steps.
    const int scaled = band * (kStopCount - 1);
    const int stop = scaled / (kBands - 1);
    const int frac = scaled % (kBands - 1);
    img.palette[kFirstBandIndex + band] =
        stop + 1 < kStopCount ? Mix(kStops[stop], kStops[stop + 1], frac, kBands - 1) : kStops[stop];
  }
  constexpr int n = IconImage::kSize;
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const int ring = std::min(std::min(x, y), std::min(n - 1 - x, n - 1 - y));
      std::uint8_t index;
      if (ring == 0 || ring == 2) {
        index = 0;  // black outer and inner lines
      } else if (ring == 1) {
        index = 1;  // off-white line between them
      } else {
        // Inside the frame x+y runs from 6 (top left) to 56 (bottom right); bands run from bottom left
        // to top right, so each band is a range of x+y.
        const int d = (x - 3) + (y - 3);  // 0 .. 50
        index = static_cast<std::uint8_t>(kFirstBandIndex + d * kBands / 51);
      }
      img.pixels[static_cast<std::size_t>(y * n + x)] = index;
    }
  }
  return img;
}

}  // namespace

const IconImage& ProgramIcon() {
  static const IconImage icon = Draw();
  return icon;
}

}  // namespace tintvale
