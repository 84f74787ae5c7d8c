// Screen services on X11: the pointer and one pixel through xcb in physical pixels from the top left of
// RandR's primary monitor, and pointer warps. Without an xcb connection every read and move fails cleanly.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/platform.h"

struct xcb_connection_t;

namespace tintvale::qt {

// How a pixel of a root's image is laid out, as the X server describes it.
struct PixelFormat {
  int bitsPerPixel = 32;
  bool msbFirst = false;  // the image's byte order
  std::uint32_t redMask = 0;
  std::uint32_t greenMask = 0;
  std::uint32_t blueMask = 0;
};

// The pixel value stored in the first bitsPerPixel bits of data (8, 16, 24 or 32); false when too short.
bool ReadPixelValue(const std::uint8_t* data, std::size_t length, const PixelFormat& format, std::uint32_t& pixel);
// Where the pixel at (x, y) of the root starts in a Z-pixmap image of region, whose rows are padded to
// scanlinePad bits; false when the point is outside the region or the image is too short.
struct Region {
  std::int32_t x = 0, y = 0, width = 0, height = 0;
};
bool PixelOffset(const Region& region, int bitsPerPixel, int scanlinePad, std::size_t length, std::int32_t x,
                 std::int32_t y, std::size_t& offset);
// The square of side span (at most the root's size) centred where the pointer will be if it keeps its
// last step from previous to last, moved inside a root of rootWidth x rootHeight.
Region PredictedRegion(ScreenPoint previous, ScreenPoint last, int rootWidth, int rootHeight, int span);

// A true-colour pixel as 0x00BBGGRR: wider channels keep their top 8 bits, narrower ones are widened
// by bit replication.
ColorValue DecodeTrueColor(std::uint32_t pixel, const PixelFormat& format);

// A monitor as RandR lists it: its place on the root, and whether it is the primary one.
struct Monitor {
  std::int32_t x = 0, y = 0;
  bool primary = false;
  std::int32_t width = 0, height = 0;
};
// Where screen coordinates start on a root: the top left of the primary monitor, else of the root.
ScreenPoint PrimaryOrigin(const std::vector<Monitor>& monitors);
// The monitors of root through RandR 1.randrMinor: RandR's monitors from 1.5, before that each CRTC that
// shows an output (the primary output's CRTC primary from 1.3). Empty when RandR cannot tell.
std::vector<Monitor> QueryMonitors(xcb_connection_t* connection, std::uint32_t root, int randrMinor);

// Reads through a connection of its own to displayName (null: $DISPLAY) when Qt runs on X11
// (qtConnection not null), and through Qt's when that one cannot be opened.
class X11Screen : public ScreenServices {
 public:
  X11Screen(xcb_connection_t* qtConnection, const char* displayName);

  std::unique_ptr<ScreenContext> GetScreen() override;
  bool CursorPos(ScreenPoint& point) override;
  bool MovePointer(ScreenPoint point) override;

 private:
  friend class X11ScreenContext;
  struct Disconnect {
    void operator()(xcb_connection_t* c) const;
  };
  std::unique_ptr<xcb_connection_t, Disconnect> own_;
  xcb_connection_t* connection_ = nullptr;  // own_, or Qt's
  std::uint32_t pointerRoot_ = 0;  // the root the pointer was last seen on; 0 before the first look

  // The primary monitor's top left on originRoot_, asked for again after RandR reports a change.
  void FollowMonitorChanges();
  void TakeMonitorNotices();
  ScreenPoint AskOrigin(std::uint32_t root);
  int randrMinor_ = -1;           // RandR 1.x on the connection; -1 without RandR
  int randrFirstEvent_ = -1;      // RandR's first event code on own_ when its notices are followed
  std::uint32_t originRoot_ = 0;  // 0: to be asked for
  ScreenPoint origin_{};

  // The image read together with the pointer, around where it was expected: the next pixel read takes
  // its pixel from here when the pointer landed inside. Used once, then dropped.
  struct Snapshot {
    bool valid = false;
    std::uint32_t root = 0;
    Region region;
    std::uint8_t depth = 0;
    std::uint32_t visual = 0;
    std::vector<std::uint8_t> data;  // kept between reads, so its storage is reused
  };
  Snapshot snapshot_;
  bool havePointer_ = false;
  ScreenPoint previous_{};
  ScreenPoint last_{};
};

}  // namespace tintvale::qt
