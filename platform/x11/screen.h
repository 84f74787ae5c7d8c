// Screen services on X11: the pointer and one pixel through xcb in physical pixels from the top left of
// RandR's primary monitor, and pointer warps. Without an xcb connection every read and move fails cleanly.
// xcb only: the connection may be Qt's, but no Qt type is used here.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/x11/pixel_decode.h"

struct xcb_connection_t;

namespace tintvale::x11 {

// The monitors of root through RandR 1.randrMinor: RandR's monitors from 1.5, before that each CRTC that
// shows an output (the primary output's CRTC primary from 1.3). Empty when RandR cannot tell.
std::vector<Monitor> QueryMonitors(xcb_connection_t* connection, std::uint32_t root, int randrMinor);

// Reads through a connection of its own to displayName (null: $DISPLAY) when the toolkit runs on X11
// (toolkitConnection not null), and through the toolkit's when that one cannot be opened.
class X11Screen : public ScreenServices {
 public:
  X11Screen(xcb_connection_t* toolkitConnection, const char* displayName);

  std::unique_ptr<ScreenContext> GetScreen() override;
  bool CursorPos(ScreenPoint& point) override;
  bool MovePointer(ScreenPoint point) override;

 private:
  friend class X11ScreenContext;
  struct Disconnect {
    void operator()(xcb_connection_t* c) const;
  };
  std::unique_ptr<xcb_connection_t, Disconnect> own_;
  xcb_connection_t* connection_ = nullptr;  // own_, or the toolkit's
  std::uint32_t pointerRoot_ = 0;           // the root the pointer was last seen on; 0 before the first look

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

}  // namespace tintvale::x11
