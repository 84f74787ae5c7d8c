// libFuzzer target: any text read as a colour stays a colour value, and every "#RRGGBB" reads as the colour
// it spells, whatever the case of its digits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "main_window/color_text.h"

namespace {

tintvale::Text AsText(const std::uint8_t* data, std::size_t size) {
  tintvale::Text t;
  for (std::size_t i = 0; i + 1 < size; i += 2) t.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  return t;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tintvale;
  const Text t = AsText(data, size);
  const std::int32_t v = HexToColor(t);
  Check(v >= 0 && v <= 0xFFFFFF);

  if (size >= 3) {
    const auto r = static_cast<std::int16_t>(data[0]), g = static_cast<std::int16_t>(data[1]),
               b = static_cast<std::int16_t>(data[2]);
    Text hex = ColorToHex(r, g, b);
    Check(hex.size() == 7);
    Check(HexToColor(hex) == (r | g << 8 | b << 16));
    for (char16_t& c : hex) {
      if (c >= u'A' && c <= u'F') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    Check(HexToColor(hex) == (r | g << 8 | b << 16));
  }
  return 0;
}
