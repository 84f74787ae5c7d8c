// The bare floor of screen sampling: one xcb connection, query_pointer then a 1x1 ZPixmap get_image on the
// pointer's root, sequential. Also the striped root and XTest motion the benchmarks move the pointer with.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>

namespace tintvale::bench {

struct XcbDisconnect {
  void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

// Connects to $DISPLAY; null (after a message on stderr) when that fails.
XcbConnection Connect(xcb_window_t& root, int& width, int& height);

// One sample: pointer position and the raw pixel under it. False when either request failed.
bool SampleOnce(xcb_connection_t* c, xcb_window_t root, int& x, int& y, std::uint32_t& pixel);

// Paints the root with the vertical stripes of figures.h and keeps them as its background.
void PaintStripes(xcb_connection_t* c, xcb_window_t root, int width, int height);

// Gives the root back its plain black background.
void ClearStripes(xcb_connection_t* c, xcb_window_t root);

// Moves the pointer to x, y through XTest, as a real device would.
void MovePointer(xcb_connection_t* c, xcb_window_t root, int x, int y);

// CLOCK_MONOTONIC in seconds, the clock every benchmark program shares.
double Now();
// Sleeps until an absolute CLOCK_MONOTONIC time in seconds.
void SleepUntil(double t);

}  // namespace tintvale::bench
