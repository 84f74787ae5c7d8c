#include "main_window/color_text.h"

#include "base/hex_digit.h"

namespace tintvale {
namespace {

// Reads "&H" + piece + suffix as a hexadecimal number: digits up to the first non-digit, none gives 0.
// The suffix is only zeros and the closing "&", so it scales a piece that is all digits and is cut off
// together with the rest when the piece holds a non-digit.
std::int32_t ReadTerm(const Text& piece, const Text& suffix) {
  const Text digits = piece + suffix;
  std::int32_t value = 0;
  for (char16_t c : digits) {
    const int d = HexDigitValue(c);
    if (d < 0) break;
    value = value * 16 + d;
  }
  return value;
}

// Characters from 1-based position `from`, at most `count`, as far as they exist.
Text Mid(const Text& t, std::size_t from, std::size_t count) {
  if (from > t.size()) return Text();
  return t.substr(from - 1, count);
}

Text TwoHexDigits(std::int16_t component) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  // Upper-case hexadecimal without leading zeros, then one "0" in front of a single digit.
  Text hex;
  auto v = static_cast<std::uint16_t>(component);
  do {
    hex.insert(hex.begin(), kDigits[v % 16]);
    v /= 16;
  } while (v != 0);
  if (hex.size() == 1) hex.insert(hex.begin(), u'0');
  return hex;
}

}  // namespace

Text ColorToHex(std::int16_t red, std::int16_t green, std::int16_t blue) {
  return u"#" + TwoHexDigits(red) + TwoHexDigits(green) + TwoHexDigits(blue);
}

Text DecimalText(std::int64_t value) {
  const bool negative = value < 0;
  // Work in unsigned so the most negative value has a magnitude too.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  Text digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) digits.insert(digits.begin(), u'-');
  return digits;
}

Text ColorToDecimal(std::int16_t red, std::int16_t green, std::int16_t blue) {
  return DecimalText(red) + u"," + DecimalText(green) + u"," + DecimalText(blue);
}

std::int32_t HexToColor(const Text& t) {
  const Text redPiece = Mid(t, 2, 2);
  const Text greenPiece = Mid(t, 4, 2);
  const Text bluePiece = t.size() < 2 ? t : t.substr(t.size() - 2);
  return ReadTerm(redPiece, u"&") + ReadTerm(greenPiece, u"00&") + ReadTerm(bluePiece, u"0000&");
}

bool HasOption(const Text& arguments, const Text& option) {
  Text lower = arguments;
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return lower.find(option) != Text::npos;
}

}  // namespace tintvale
