#include "bench/figures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <set>

namespace tintvale::bench {
namespace {

TEST(Summarise, NearestRankMedianAndP90) {
  struct Row {
    std::vector<double> in;
    double median, p90;
  } rows[] = {
      {{}, 0, 0},
      {{7}, 7, 7},
      {{3, 1, 2}, 2, 3},
      {{4, 1, 3, 2}, 2, 4},
      {{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 5, 9},
      {{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 100}, 1, 1},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    Summary s = Summarise(rows[i].in);
    EXPECT_EQ(s.count, rows[i].in.size()) << "row " << i;
    EXPECT_DOUBLE_EQ(s.median, rows[i].median) << "row " << i;
    EXPECT_DOUBLE_EQ(s.p90, rows[i].p90) << "row " << i;
  }
}

TEST(Stripes, EveryStripeOfAWideScreenHasItsOwnColourInBothLayouts) {
  std::set<std::uint32_t> colors;
  for (int i = 0; i < 256; ++i) {
    std::uint32_t px = StripePixel(i), c = StripeColor(i);
    // 0x00RRGGBB pixel and 0x00BBGGRR colour hold the same three channels.
    EXPECT_EQ(c & 0xFFu, px >> 16 & 0xFFu) << "stripe " << i;
    EXPECT_EQ(c >> 8 & 0xFFu, px >> 8 & 0xFFu) << "stripe " << i;
    EXPECT_EQ(c >> 16, px & 0xFFu) << "stripe " << i;
    colors.insert(c);
  }
  EXPECT_EQ(colors.size(), 256u);
}

TEST(MoverX, EachMoveLandsOnAnotherStripeCentreInsideTheScreen) {
  for (int width : {16, 100, 1280}) {
    for (long step = 0; step < 1000; ++step) {
      int x = MoverX(step, width), next = MoverX(step + 1, width);
      ASSERT_GE(x, 0) << "width " << width << " step " << step;
      ASSERT_LT(x, width) << "width " << width << " step " << step;
      ASSERT_EQ(x % kStripeWidth, kStripeWidth / 2) << "width " << width << " step " << step;
      ASSERT_NE(x / kStripeWidth, next / kStripeWidth) << "width " << width << " step " << step;
    }
  }
}

TEST(ProcReadings, ParseTheKernelsTextIncludingAwkwardCommandNames) {
  struct Row {
    const char* what;
    std::string stat;
    long long ticks;
  } rows[] = {
      {"plain", "1234 (tintvale) S 1 1234 1234 0 -1 4194560 900 0 0 0 250 31 0 0 20 0 3 0 100", 281},
      {"blank and paren in name", "77 (a b) c) R 1 77 77 0 -1 0 0 0 0 0 5 6 0 0 20 0 1 0 9", 11},
      {"truncated", "77 (x) R 1 77", -1},
      {"empty", "", -1},
  };
  for (const Row& r : rows) EXPECT_EQ(CpuTicksFromStat(r.stat), r.ticks) << r.what;

  EXPECT_EQ(RssKibFromStatus("Name:\tx\nVmPeak:\t  9000 kB\nVmRSS:\t   23456 kB\nRssAnon:\t 1 kB\n"), 23456);
  EXPECT_EQ(RssKibFromStatus("Name:\tzombie\nState:\tZ\n"), -1);
}

TEST(ProcReadings, OwnProcessIsReadableAndAGoneOneIsNot) {
  EXPECT_GE(CpuTicksOf(getpid()), 0);
  EXPECT_GT(RssKibOf(getpid()), 0);
  EXPECT_EQ(CpuTicksOf(-5), -1);
}

TEST(MatchLag, LagsUnmatchedAndSkippedMoves) {
  struct Row {
    const char* what;
    std::vector<Move> moves;
    std::vector<Paint> paints;
    std::vector<double> lagsMs;
    std::size_t unmatched;
  } rows[] = {
      {"each move painted once", {{1.000, 1}, {1.010, 2}}, {{1.004, 1}, {1.013, 2}}, {4, 3}, 0},
      {"repeated paints count the first", {{1.000, 1}}, {{1.002, 1}, {1.008, 1}}, {2}, 0},
      {"paint before the move is not its paint", {{1.000, 1}}, {{0.990, 1}}, {}, 1},
      {"skipped move: a later colour painted first", {{1.000, 1}, {1.010, 2}}, {{1.015, 2}, {1.020, 1}}, {5}, 1},
      {"colour coming back later still matches the move it belongs to",
       {{1.000, 1}, {1.010, 2}, {1.020, 1}},
       {{1.001, 1}, {1.011, 2}, {1.021, 1}},
       {1, 1, 1},
       0},
  };
  for (const Row& r : rows) {
    LagFigures f = MatchLag(r.moves, r.paints);
    ASSERT_EQ(f.lagsMs.size(), r.lagsMs.size()) << r.what;
    for (std::size_t i = 0; i < f.lagsMs.size(); ++i) EXPECT_NEAR(f.lagsMs[i], r.lagsMs[i], 1e-6) << r.what;
    EXPECT_EQ(f.unmatched, r.unmatched) << r.what;
  }
}

}  // namespace
}  // namespace tintvale::bench
