// The video streams of one screen-cast session, received on PipeWire's own thread (pw_thread_loop):
// each stream keeps its newest full frame in place (the buffer is held, not copied) and the pointer
// from its cursor metadata. Pointer and Pixel may be called from any thread; they hold one small lock
// for microseconds and never wait on PipeWire.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/portal/frame_pixels.h"
#include "platform/portal/placement.h"
#include "platform/portal/pointer_evidence.h"

namespace tintvale::portal {

class PipeWireCapture {
 public:
  struct Stream {
    std::uint32_t node = 0;  // the PipeWire node the portal named
    PortalStream portal;     // what the portal said of its place and size
  };
  // Connects through fd (taken over) and starts one stream per entry, placed in layout (see PlaceStreams).
  // onChange runs on PipeWire's thread when the streams end (a node goes away or the connection breaks:
  // Ended() tells), when the first picture comes and when a stream's buffers come without cursor metadata;
  // Evidence() tells the last two.
  PipeWireCapture(int fd, std::vector<Stream> streams, std::vector<LayoutMonitor> layout,
                  std::function<void()> onChange);
  ~PipeWireCapture();  // stops the streams and PipeWire's thread before returning
  PipeWireCapture(const PipeWireCapture&) = delete;
  PipeWireCapture& operator=(const PipeWireCapture&) = delete;

  // Places the streams in a new layout of the desktop's monitors.
  void SetLayout(std::vector<LayoutMonitor> layout);
  // Whether a stream was placed by a size that more than one monitor has (KDE's identical monitors).
  bool Unsure();
  // Where the X server has the pointer (root, layout pixels, over one of its windows) just after Pointer:
  // where that names a monitor for the stream that reported the pointer, the stream is placed there from
  // then on, until the layout changes.
  void Sight(ScreenPoint root);
  // The pointer in screen pixels, from the stream that last saw it; false before any cursor metadata
  // has come and once the streams have ended.
  bool Pointer(ScreenPoint& point);
  // The colour at a screen point from the kept frame of the stream that shows it; kInvalidColor before
  // that stream's first full frame, outside every stream and once the streams have ended.
  ColorValue Pixel(ScreenPoint point);
  bool Ended();
  // What the buffers have shown about the pointer so far (the time since the first picture as of now).
  PointerEvidence Evidence();
  // Full frames and buffers received so far, for the benchmark.
  void Counts(std::uint64_t& frames, std::uint64_t& buffers);

  struct Impl;  // PipeWire's side; its callbacks are plain functions

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace tintvale::portal
