// Where the monitors' streams lie on the screen: their places in the desktop's layout, the screen
// coordinates of their frames' pixels and back, and which monitor a stream without a position shows. No
// PipeWire, D-Bus or Qt types.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace tintvale::portal {

// A monitor's stream: its place in the desktop's layout, measured from the primary monitor's top left, and
// the size of its frames in device pixels (0 until the first format is known).
struct MonitorPlace {
  std::int32_t x = 0, y = 0, width = 0, height = 0;
  std::int32_t frameWidth = 0, frameHeight = 0;
  bool unsure = false;  // placed by its size alone, which another monitor has too
};

// The monitor's top left in screen pixels: its layout position converted at its own scale (frame pixels
// per layout pixel, horizontally and vertically), so the place at 0,0 starts at 0,0.
ScreenPoint MonitorOrigin(const MonitorPlace& monitor);
// A point of the monitor's frame (physical pixels) in screen pixels.
ScreenPoint StreamToScreen(const MonitorPlace& monitor, std::int32_t x, std::int32_t y);
// The monitor whose frame holds a screen point, and the point in that frame; -1 when none does.
// preferred is tried first, so the monitor a point came from answers for it where scaled monitors overlap.
int ScreenToStream(const std::vector<MonitorPlace>& monitors, ScreenPoint point, int preferred, std::int32_t& x,
                   std::int32_t& y);

// A stream as the portal's Start describes it. GNOME gives its position and size in the layout's units
// (device pixels, or logical pixels in its logical layout mode); KDE gives no position and its size in
// device pixels.
struct PortalStream {
  bool hasPosition = false;
  std::int32_t x = 0, y = 0, width = 0, height = 0;
};
struct FrameSize {
  std::int32_t width = 0, height = 0;  // 0 until the stream's format is known
};
// A monitor of the X server the window lives on (XWayland's RandR): the same units as GNOME's layout.
struct LayoutMonitor {
  std::int32_t x = 0, y = 0, width = 0, height = 0;
  bool primary = false;
};

// Where each stream (frames[i] its frame size) lies on the screen, measured from the top left of the
// layout's primary monitor (from the layout's 0,0 without one). A stream without a position takes the
// place of a layout monitor of its size: the monitor pins[i] names when it has that shape, else the same
// size first, else the same shape at a scale, each monitor once, streams and monitors in their order;
// one that matches none is put at 0,0. A stream placed by size where another free monitor fits as well
// is marked unsure.
std::vector<MonitorPlace> PlaceStreams(const std::vector<PortalStream>& streams, const std::vector<FrameSize>& frames,
                                       const std::vector<LayoutMonitor>& layout, const std::vector<int>& pins = {});
// The one layout monitor of the frame's shape on which framePoint of the frame lies at root (the X
// server's pointer, in layout pixels), to within the pixel a scale rounds away; -1 for none or several.
int SightedMonitor(const std::vector<LayoutMonitor>& layout, FrameSize frame, ScreenPoint framePoint, ScreenPoint root);

}  // namespace tintvale::portal
