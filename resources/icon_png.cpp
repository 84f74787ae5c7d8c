// Build-time tool: writes the program icon as a PNG file for the desktop icon theme, at 32x32 or as a
// nearest-neighbour enlargement to a larger square size.
// Usage: tintvale_icon_png SIZE OUTPUT.png
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "resources/icon.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutU32(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 24));
  out.push_back(static_cast<std::uint8_t>(value >> 16));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

// A chunk is length, type, data and a CRC over type and data.
void PutChunk(Bytes& out, std::string_view type, const Bytes& data) {
  PutU32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
  PutU32(out, static_cast<std::uint32_t>(crc));
}

// Rows of 8-bit RGB, each led by filter byte 0. Target pixel x takes source pixel x * 32 / size (rounded
// down), the common nearest-neighbour rule, so each source pixel becomes a block of equal pixels; at a
// scale that is not whole (48) the blocks are one or two pixels wide.
Bytes ScanLines(const tintvale::IconImage& icon, int size) {
  constexpr int n = tintvale::IconImage::kSize;
  Bytes rows;
  rows.reserve(static_cast<std::size_t>(size) * (1 + 3 * static_cast<std::size_t>(size)));
  for (int y = 0; y < size; ++y) {
    rows.push_back(0);
    const int sy = y * n / size;
    for (int x = 0; x < size; ++x) {
      const int sx = x * n / size;
      const auto& c = icon.palette[icon.pixels[static_cast<std::size_t>(sy * n + sx)]];
      rows.insert(rows.end(), {c.red, c.green, c.blue});
    }
  }
  return rows;
}

bool EncodePng(const tintvale::IconImage& icon, int size, Bytes& png) {
  const Bytes rows = ScanLines(icon, size);
  uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
  Bytes packed(packedSize);
  if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), Z_BEST_COMPRESSION) != Z_OK) {
    return false;
  }
  packed.resize(packedSize);

  Bytes header;
  PutU32(header, static_cast<std::uint32_t>(size));
  PutU32(header, static_cast<std::uint32_t>(size));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits per sample, RGB, deflate, adaptive, no interlace

  png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", {});
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr int kLargest = 1024;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SIZE OUTPUT.png\n", argv[0]);
    return 2;
  }
  char* end = nullptr;
  const long size = std::strtol(argv[1], &end, 10);
  if (*end != '\0' || size < tintvale::IconImage::kSize || size > kLargest) {
    std::fprintf(stderr, "%s: SIZE must be a whole number from %d to %d\n", argv[0], tintvale::IconImage::kSize,
                 kLargest);
    return 2;
  }
  Bytes png;
  if (!EncodePng(tintvale::ProgramIcon(), static_cast<int>(size), png)) {
    std::fprintf(stderr, "%s: compression failed\n", argv[0]);
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
    return 1;
  }
  return 0;
}
