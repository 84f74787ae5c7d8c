// The bare sampler. "xcb_floor seq N": N back-to-back samples, prints median and p90 in µs.
// "xcb_floor timer SECONDS": one sample on every absolute 10 ms boundary, for CPU comparisons; prints
// the median and p90 µs of those samples too.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/xcb_sample.h"

using namespace tintvale::bench;

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "seq";
  double arg = argc > 2 ? std::atof(argv[2]) : (mode == "seq" ? 3000 : 10);
  xcb_window_t root = 0;
  int width = 0, height = 0;
  XcbConnection c = Connect(root, width, height);
  if (!c) return 1;
  int x = 0, y = 0;
  std::uint32_t px = 0;
  long failed = 0;
  if (mode == "seq") {
    auto n = static_cast<long>(arg);
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(n));
    for (long i = 0; i < 100; ++i) SampleOnce(c.get(), root, x, y, px);  // warm-up
    for (long i = 0; i < n; ++i) {
      double t0 = Now();
      if (!SampleOnce(c.get(), root, x, y, px)) ++failed;
      us.push_back((Now() - t0) * 1e6);
    }
    Summary s = Summarise(us);
    std::printf("floor_us median %.1f p90 %.1f n %zu failed %ld\n", s.median, s.p90, s.count, failed);
    return 0;
  }
  if (mode == "timer") {
    double start = Now(), end = start + arg;
    std::vector<double> us;
    for (double t = start + 0.01; t < end; t += 0.01) {
      SleepUntil(t);
      double t0 = Now();
      if (!SampleOnce(c.get(), root, x, y, px)) ++failed;
      us.push_back((Now() - t0) * 1e6);
    }
    // Each sample here follows 10 ms of sleep, as a tick does: wake-up costs are in it.
    Summary s = Summarise(us);
    std::printf("floor_timer_us median %.1f p90 %.1f n %zu failed %ld\n", s.median, s.p90, s.count, failed);
    return 0;
  }
  std::fprintf(stderr, "usage: xcb_floor seq N | timer SECONDS\n");
  return 2;
}
