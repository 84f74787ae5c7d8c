// Paints the root with distinct vertical stripes and moves the pointer over them through XTest at 100 Hz
// (absolute 10 ms timer) for the given seconds, each move onto another stripe, along row `y`.
// Usage: pointer_mover SECONDS [Y]   (SECONDS 0: paint the stripes only)
#include <cstdio>
#include <cstdlib>

#include "bench/figures.h"
#include "bench/xcb_sample.h"

using namespace tintvale::bench;

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 10;
  xcb_window_t root = 0;
  int width = 0, height = 0;
  XcbConnection c = Connect(root, width, height);
  if (!c) return 1;
  int y = argc > 2 ? std::atoi(argv[2]) : height - 40;
  PaintStripes(c.get(), root, width, height);
  double start = Now();
  long step = 0;
  for (double t = start; t < start + seconds; t += 0.01, ++step) {
    SleepUntil(t);
    MovePointer(c.get(), root, MoverX(step, width), y);
  }
  std::printf("mover moves %ld\n", step);
  return 0;
}
