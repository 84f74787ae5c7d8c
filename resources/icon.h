// The program icon: one 32x32 image with a 256-colour palette and no transparent pixels. Its pixels are
// defined here once; the window icons, the About box picture and the files built for installers use this.
#pragma once

#include <array>
#include <cstdint>

namespace tintvale {

struct IconColor {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
};

struct IconImage {
  static constexpr int kSize = 32;
  std::array<IconColor, 256> palette;
  std::array<std::uint8_t, kSize * kSize> pixels;  // palette indexes, row by row from the top
};

const IconImage& ProgramIcon();

}  // namespace tintvale
