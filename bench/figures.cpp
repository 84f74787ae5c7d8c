#include "bench/figures.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace tintvale::bench {

Summary Summarise(std::vector<double> samples) {
  Summary s;
  s.count = samples.size();
  if (samples.empty()) return s;
  std::sort(samples.begin(), samples.end());
  auto rank = [&](double q) {
    // Nearest rank: the smallest value with at least q of the samples at or below it.
    auto r = static_cast<std::size_t>(std::ceil(q * static_cast<double>(samples.size())));
    return samples[std::max<std::size_t>(r, 1) - 1];
  };
  s.median = rank(0.5);
  s.p90 = rank(0.9);
  return s;
}

std::uint32_t StripePixel(int index) {
  // Blue carries the index itself so no two of 256 stripes share a colour; red and green vary so
  // neighbours differ in every channel.
  auto i = static_cast<std::uint32_t>(index) & 0xFFu;
  std::uint32_t r = (i * 37u + 64u) & 0xFFu;
  std::uint32_t g = (i * 101u + 17u) & 0xFFu;
  return r << 16 | g << 8 | i;
}

std::uint32_t StripeColor(int index) {
  std::uint32_t px = StripePixel(index);
  return (px >> 16 & 0xFFu) | (px & 0xFF00u) | (px & 0xFFu) << 16;
}

int MoverX(long step, int width) {
  long stripes = std::max(2, width / kStripeWidth);
  long period = 2 * (stripes - 1);
  long k = step % period;
  long stripe = k < stripes ? k : period - k;
  return static_cast<int>(stripe * kStripeWidth + kStripeWidth / 2);
}

long long CpuTicksFromStat(const std::string& statText) {
  // The command name in field 2 is in parentheses and may itself hold blanks and ')': skip to the last ')'.
  auto close = statText.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream in(statText.substr(close + 1));
  std::string field;
  long long utime = -1, stime = -1;
  // Fields after the name start at 3 (state); utime is 14, stime 15.
  for (int n = 3; n <= 15 && (in >> field); ++n) {
    if (n == 14) utime = std::stoll(field);
    if (n == 15) stime = std::stoll(field);
  }
  if (utime < 0 || stime < 0) return -1;
  return utime + stime;
}

long long RssKibFromStatus(const std::string& statusText) {
  std::istringstream in(statusText);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6));
  }
  return -1;
}

static std::string ReadWhole(const std::string& path) {
  std::ifstream f(path);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

long long CpuTicksOf(int pid) { return CpuTicksFromStat(ReadWhole("/proc/" + std::to_string(pid) + "/stat")); }
long long CpuTicksOfTask(int pid, int tid) {
  return CpuTicksFromStat(ReadWhole("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/stat"));
}
long long RssKibOf(int pid) { return RssKibFromStatus(ReadWhole("/proc/" + std::to_string(pid) + "/status")); }

LagFigures MatchLag(const std::vector<Move>& moves, const std::vector<Paint>& paints) {
  LagFigures out;
  std::size_t p = 0;
  for (std::size_t m = 0; m < moves.size(); ++m) {
    while (p < paints.size() && paints[p].t < moves[m].t) ++p;
    bool matched = false;
    for (std::size_t q = p; q < paints.size(); ++q) {
      if (paints[q].color == moves[m].color) {
        out.lagsMs.push_back((paints[q].t - moves[m].t) * 1000.0);
        matched = true;
        break;
      }
      // A paint of a later move's colour before this one's: this move was never shown.
      bool later = false;
      for (std::size_t n = m + 1; n < moves.size() && moves[n].t <= paints[q].t; ++n) {
        if (moves[n].color == paints[q].color) {
          later = true;
          break;
        }
      }
      if (later) break;
    }
    if (!matched) ++out.unmatched;
  }
  return out;
}

}  // namespace tintvale::bench
