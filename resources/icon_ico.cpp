// Build-time tool: writes the program icon as a Windows .ico file (one 32x32 image, 8 bits per pixel,
// 256-colour palette, an all-opaque mask) from the pixels in icon.cpp. Usage: icon_ico OUTPUT.ico
#include <cstdint>
#include <cstdio>
#include <vector>

#include "resources/icon.h"

namespace {

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFFu));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFFu));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFFu);
  Put16(out, v >> 16);
}

std::vector<std::uint8_t> IcoFile(const tintvale::IconImage& icon) {
  constexpr int n = tintvale::IconImage::kSize;
  constexpr std::uint32_t kHeader = 40;
  constexpr std::uint32_t kPalette = 256 * 4;
  constexpr std::uint32_t kXor = n * n;                    // 32 bytes a row: already a multiple of 4
  constexpr std::uint32_t kAnd = n * ((n + 31) / 32) * 4;  // 1 bit a pixel, rows padded to 4 bytes
  constexpr std::uint32_t kImage = kHeader + kPalette + kXor + kAnd;

  std::vector<std::uint8_t> out;
  Put16(out, 0);  // ICONDIR: reserved, type 1 (icon), one image
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(n);  // ICONDIRENTRY: width, height, 0 = 256 colours, reserved
  out.push_back(n);
  out.push_back(0);
  out.push_back(0);
  Put16(out, 1);  // planes
  Put16(out, 8);  // bits per pixel
  Put32(out, kImage);
  Put32(out, 6 + 16);  // the image follows the directory

  Put32(out, kHeader);  // BITMAPINFOHEADER; the height counts the image and its mask together
  Put32(out, n);
  Put32(out, 2 * n);
  Put16(out, 1);
  Put16(out, 8);
  Put32(out, 0);  // BI_RGB
  Put32(out, kXor + kAnd);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 256);
  Put32(out, 0);
  for (const tintvale::IconColor& c : icon.palette) {
    out.push_back(c.blue);
    out.push_back(c.green);
    out.push_back(c.red);
    out.push_back(0);
  }
  for (int row = n - 1; row >= 0; --row) {  // bottom-up
    for (int x = 0; x < n; ++x) out.push_back(icon.pixels[static_cast<std::size_t>(row * n + x)]);
  }
  out.insert(out.end(), kAnd, 0);  // no transparent pixels
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icon_ico OUTPUT.ico\n");
    return 2;
  }
  const std::vector<std::uint8_t> data = IcoFile(tintvale::ProgramIcon());
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  if (std::fclose(f) != 0 || !ok) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
