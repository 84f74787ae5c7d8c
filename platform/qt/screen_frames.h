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

// A monitor's stream: its place in the desktop's logical layout (as the portal gives it) and the size of
// its frames in physical pixels (0 until the first format is known).
struct MonitorPlace {
  std::int32_t x = 0, y = 0, width = 0, height = 0;
  std::int32_t frameWidth = 0, frameHeight = 0;
};

// The monitor's top left in screen pixels: its logical position converted at its own scale (frame
// pixels per logical pixel, horizontally and vertically), so the monitor at logical 0,0 starts at 0,0.
ScreenPoint MonitorOrigin(const MonitorPlace& monitor);
// A point of the monitor's frame (physical pixels) in screen pixels.
ScreenPoint StreamToScreen(const MonitorPlace& monitor, std::int32_t x, std::int32_t y);
// The monitor whose frame holds a screen point, and the point in that frame; -1 when none does.
// preferred is tried first, so the monitor a point came from answers for it where scaled monitors overlap.
int ScreenToStream(const std::vector<MonitorPlace>& monitors, ScreenPoint point, int preferred, std::int32_t& x,
                   std::int32_t& y);

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
