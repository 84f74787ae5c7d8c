#include "main_window/color_text.h"

#include <gtest/gtest.h>

#include "base/utf8.h"

namespace tintvale {
namespace {

struct HexReading {
  const char16_t* text;
  int red, green, blue;
};

TEST(HexToColor, ReadsEachPieceUpToItsFirstNonDigit) {
  const HexReading rows[] = {
      {u"#", 0, 0, 0},
      {u"#F", 15, 0, 0},
      {u"#FF", 255, 0, 255},
      {u"#ABC", 171, 12, 188},
      {u"#ABCDE", 171, 205, 222},
      {u"#1A2B3C", 26, 43, 60},
      {u"#ff8800", 255, 136, 0},
      {u"#1A2B3C4D", 26, 43, 77},
      {u"#112G33", 19, 0, 51},
      {u"#FFFG00", 14, 1, 0},
      {u"#GGGGGG", 0, 0, 0},
      {u"", 0, 0, 0},
      {u"#12 456", 18, 0, 86},      // a blank ends its piece like any other non-digit
      {u"#1234\u65E5", 22, 52, 0},  // "4" then a non-digit: unscaled, into red
  };
  for (const auto& row : rows) {
    const std::int32_t expected = row.red + row.green * 256 + row.blue * 65536;
    EXPECT_EQ(HexToColor(row.text), expected) << "text \"" << TextToUtf8(row.text) << "\"";
  }
}

TEST(HexToColor, StaysInColourRangeForAnyShortText) {
  const Text alphabet = u"#0aF9gG &\u00FF\uFF03";
  // Every text of up to four characters from an alphabet of digits, non-digits and blanks.
  std::vector<Text> texts{Text()};
  for (int len = 0; len < 4; ++len) {
    std::vector<Text> next;
    for (const auto& t : texts) {
      for (char16_t c : alphabet) next.push_back(t + c);
    }
    for (const auto& t : next) {
      const std::int32_t v = HexToColor(t);
      ASSERT_GE(v, 0) << TextToUtf8(t);
      ASSERT_LE(v, 0xFFFFFF) << TextToUtf8(t);
    }
    texts = std::move(next);
  }
}

TEST(ColorToHex, RoundTripsEveryComponentValue) {
  for (int c = 0; c < 256; ++c) {
    const auto v = static_cast<std::int16_t>(c);
    const Text grey = ColorToHex(v, v, v);
    ASSERT_EQ(grey.size(), 7u) << c;
    ASSERT_EQ(HexToColor(grey), c * 0x010101) << TextToUtf8(grey);
    ASSERT_EQ(HexToColor(ColorToHex(v, 0, 0)), c) << c;
    ASSERT_EQ(HexToColor(ColorToHex(0, v, 0)), c << 8) << c;
    ASSERT_EQ(HexToColor(ColorToHex(0, 0, v)), c << 16) << c;
  }
}

TEST(ColorText, BothFormsOfTheWorkedColours) {
  struct Row {
    int r, g, b;
    const char16_t* hex;
    const char16_t* dec;
  } rows[] = {{0, 0, 0, u"#000000", u"0,0,0"},
              {255, 255, 255, u"#FFFFFF", u"255,255,255"},
              {10, 0, 171, u"#0A00AB", u"10,0,171"},
              {15, 16, 9, u"#0F1009", u"15,16,9"}};
  for (const auto& row : rows) {
    const auto r = static_cast<std::int16_t>(row.r), g = static_cast<std::int16_t>(row.g),
               b = static_cast<std::int16_t>(row.b);
    EXPECT_EQ(ColorToHex(r, g, b), row.hex) << row.r << "," << row.g << "," << row.b;
    EXPECT_EQ(ColorToDecimal(r, g, b), row.dec) << row.r << "," << row.g << "," << row.b;
  }
}

TEST(HasOption, MatchesTheTwoCharactersAnywhereAfterLowerCasing) {
  struct Row {
    const char16_t* args;
    bool decimal, clip;
  } rows[] = {
      {u"", false, false},        {u"-d", true, false},      {u"-c", false, true},    {u"-D -C", true, true},
      {u"-d -c", true, true},     {u"-c -d", true, true},    {u"-d-c", true, true},   {u"-dc", true, false},
      {u"-cd", false, true},      {u"my-data", true, false}, {u"-d -d", true, false}, {u"/d /c", false, false},
      {u"\uFF0Dd", false, false},  // a full-width dash is not "-"
      {u"x -C", false, true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(HasOption(row.args, u"-d"), row.decimal) << "\"" << TextToUtf8(row.args) << "\"";
    EXPECT_EQ(HasOption(row.args, u"-c"), row.clip) << "\"" << TextToUtf8(row.args) << "\"";
  }
}

TEST(DecimalText, ShortestFormWithSign) {
  const std::pair<std::int64_t, const char16_t*> rows[] = {
      {0, u"0"}, {7, u"7"}, {-640, u"-640"}, {1279, u"1279"}, {INT32_MIN, u"-2147483648"}};
  for (const auto& [v, text] : rows) EXPECT_EQ(DecimalText(v), text) << v;
}

}  // namespace
}  // namespace tintvale
