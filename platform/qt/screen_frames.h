// Plain functions of the screen-cast path: the colour of one pixel of a shared-memory video frame, where
// a monitor's stream sits on the screen, and the restore token file. No PipeWire, D-Bus or Qt types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tintvale::qt {

// The four-byte pixel layouts a screen-cast stream may use, named by their bytes in memory (BGRx: blue
// first). The alpha variants read as their x forms: a screen's picture is opaque.
enum class FrameFormat { kUnknown, kBGRx, kRGBx, kxRGB, kxBGR, kBGRA, kRGBA, kARGB, kABGR };

// One frame as it lies in a mapped buffer: the picture starts offset bytes into data (size bytes long),
// rows are stride bytes apart.
struct FrameView {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t offset = 0;
  std::int32_t stride = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  FrameFormat format = FrameFormat::kUnknown;
};

// The pixel at (x, y) of the frame as 0x00BBGGRR; kInvalidColor outside the frame, for a stride shorter
// than a row, an unknown format or a buffer too short to hold the pixel.
ColorValue FramePixel(const FrameView& frame, std::int32_t x, std::int32_t y);

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
int SightedMonitor(const std::vector<LayoutMonitor>& layout, FrameSize frame, ScreenPoint framePoint,
                   ScreenPoint root);

// What the buffers have shown about the pointer since the streams started, and the verdict on it: cursor
// metadata missing from a stream's buffers is final at once; a pointer position that never comes is
// final graceMs after the first picture, and only when every monitor is shared (the pointer may rest on
// one that is not).
struct PointerEvidence {
  bool metaMissing = false;   // a stream's buffers carry no cursor metadata
  bool positionSeen = false;  // a buffer's cursor metadata held a position (cursor id not 0)
  bool frameSeen = false;     // a picture has come
  std::int64_t msSinceFirstFrame = 0;
  bool everyMonitorShared = true;
};
enum class PointerVerdict { kWaiting, kWorking, kNoMetadata, kNoPosition };
PointerVerdict JudgePointer(const PointerEvidence& evidence, std::int64_t graceMs);

// The restore token file: $XDG_STATE_HOME/tintvale/restore-token, or ~/.local/state/tintvale/... when
// XDG_STATE_HOME is unset or not absolute. Empty when neither it nor HOME can be found.
std::string RestoreTokenPath();
// A token as the portal hands them out: a UUID in text form.
bool IsRestoreToken(std::string_view text);
// The token kept in the file, or empty when the file is missing, unreadable or holds no token.
std::string ReadRestoreToken(const std::string& path);
// Keeps token in the file (mode 0600, its folder made 0700 when missing), written to a temporary file
// and renamed over the old one, so a crash never leaves half a token; an empty token removes the file.
bool WriteRestoreToken(const std::string& path, const std::string& token);

}  // namespace tintvale::qt
