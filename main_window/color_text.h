// The text forms of a colour, needing no window: "#RRGGBB" (ColorToHex, read back by HexToColor) and the
// decimal "R,G,B"; and the scan of the command-line text for the options "-d" and "-c".
#pragma once

#include <cstdint>

#include "base/text.h"

namespace tintvale {

// "#" and two upper-case hexadecimal digits for each component; seven characters for 0..255.
Text ColorToHex(std::int16_t red, std::int16_t green, std::int16_t blue);

// Red, green and blue in plain decimal joined by ",", no blanks.
Text ColorToDecimal(std::int16_t red, std::int16_t green, std::int16_t blue);

// Reads a colour value (0x00BBGGRR, 0..16777215) from a text meant to begin with "#": red from characters
// 2-3, green from 4-5, blue from the last two; each piece is read up to its first non-hex character.
std::int32_t HexToColor(const Text& t);

// True when the option (e.g. u"-d") stands anywhere in the lower-cased argument text.
bool HasOption(const Text& arguments, const Text& option);

// Decimal digits of a number, with a leading minus when negative.
Text DecimalText(std::int64_t value);

}  // namespace tintvale
