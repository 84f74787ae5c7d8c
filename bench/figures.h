// Pure helpers of the benchmark programs: percentiles, the striped root's colours, /proc readings and the
// matching of pointer moves to swatch paints. No X and no Qt, so they are tested on their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tintvale::bench {

struct Summary {
  std::size_t count = 0;
  double median = 0;
  double p90 = 0;
};

// Nearest-rank median and 90th percentile; all zero for no samples.
Summary Summarise(std::vector<double> samples);

// The striped root: vertical stripes kStripeWidth pixels wide, each a colour no other stripe has.
inline constexpr int kStripeWidth = 8;
// Colour of stripe `index` as 0x00BBGGRR (what the program's swatch takes); distinct for 0..255.
std::uint32_t StripeColor(int index);
// The same colour as an X TrueColor pixel 0x00RRGGBB.
std::uint32_t StripePixel(int index);
// The x the pointer mover uses for move number `step` on a screen `width` pixels wide: the centre of a
// stripe, a different stripe from the step before, bouncing between the edges.
int MoverX(long step, int width);

// utime + stime of a process in clock ticks, from the text of /proc/PID/stat; -1 when it cannot be parsed.
long long CpuTicksFromStat(const std::string& statText);
// VmRSS in KiB from the text of /proc/PID/status; -1 when absent.
long long RssKibFromStatus(const std::string& statusText);
// The same, read from /proc for a live process; -1 when the process is gone.
long long CpuTicksOf(int pid);
long long RssKibOf(int pid);
// utime + stime of one thread of a process.
long long CpuTicksOfTask(int pid, int tid);

struct Move {
  double t = 0;  // seconds, CLOCK_MONOTONIC
  std::uint32_t color = 0;
};
struct Paint {
  double t = 0;
  std::uint32_t color = 0;
};
struct LagFigures {
  std::vector<double> lagsMs;  // one per matched move
  std::size_t unmatched = 0;   // moves whose colour was never painted before the next move's colour
};
// For each move, the lag to the first paint of its colour at or after it. A move counts as unmatched when
// the colour of a later move is painted first (the program skipped it). Both lists are in time order.
LagFigures MatchLag(const std::vector<Move>& moves, const std::vector<Paint>& paints);

}  // namespace tintvale::bench
