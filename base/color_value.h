// A colour as the windows hold it: 0x00BBGGRR, or with the high bit set the number of a system colour;
// and its name for assistive technology.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "base/text.h"

namespace tintvale {

// Colour value laid out 0x00BBGGRR. Values with the high bit set name a system colour instead.
using ColorValue = std::uint32_t;
inline constexpr ColorValue kDefaultColor = 0x80000000u;     // the toolkit's default for that control
inline constexpr ColorValue kButtonFaceColor = 0x8000000Fu;  // dialog background colour
inline constexpr ColorValue kInvalidColor = 0xFFFFFFFFu;     // what a failed pixel read returns

// A colour value's name for assistive technology: "#" and two upper-case hexadecimal digits each for red,
// green and blue, as a capture writes it ("#0A00AB" for 0x00AB000A).
inline Text ColorName(ColorValue c) {
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  Text name = u"#";
  for (int shift : {0, 8, 16}) {
    const unsigned byte = (c >> shift) & 0xFFu;
    name += kDigits[byte >> 4];
    name += kDigits[byte & 0xFu];
  }
  return name;
}

}  // namespace tintvale
