#include "platform/portal/placement.h"

#include <cmath>
#include <cstdlib>

namespace tintvale::portal {
namespace {

// Frame pixels per logical pixel along one axis; 1 while either size is unknown.
double Scale(std::int32_t frame, std::int32_t logical) {
  return frame > 0 && logical > 0 ? static_cast<double>(frame) / logical : 1.0;
}

std::int32_t Scaled(std::int32_t logical, double scale) {
  return static_cast<std::int32_t>(std::lround(logical * scale));
}

bool Inside(const MonitorPlace& m, ScreenPoint p, std::int32_t& x, std::int32_t& y) {
  if (m.frameWidth <= 0 || m.frameHeight <= 0) return false;
  const ScreenPoint origin = MonitorOrigin(m);
  const std::int64_t dx = std::int64_t{p.x} - origin.x;
  const std::int64_t dy = std::int64_t{p.y} - origin.y;
  if (dx < 0 || dy < 0 || dx >= m.frameWidth || dy >= m.frameHeight) return false;
  x = static_cast<std::int32_t>(dx);
  y = static_cast<std::int32_t>(dy);
  return true;
}

// The size a stream is matched by: its frames', else what the portal said (KDE: device pixels).
FrameSize SizeOf(const PortalStream& stream, const std::vector<FrameSize>& frames, std::size_t i) {
  const FrameSize f = i < frames.size() ? frames[i] : FrameSize{};
  if (f.width > 0 && f.height > 0) return f;
  return {stream.width, stream.height};
}

bool SameSize(FrameSize f, const LayoutMonitor& m) { return f.width == m.width && f.height == m.height; }

// The frame is the monitor at one scale along both axes, to within the pixel a fractional scale rounds
// away (2560 x 1440 shows a monitor that XWayland lays out as 1707 x 960 at scale 1.5).
bool SameShape(FrameSize f, const LayoutMonitor& m) {
  if (f.width <= 0 || f.height <= 0 || m.width <= 0 || m.height <= 0) return false;
  const double scale = static_cast<double>(f.width) / m.width;
  return std::abs(std::lround(m.height * scale) - f.height) <= 1;
}

}  // namespace

ScreenPoint MonitorOrigin(const MonitorPlace& m) {
  return {Scaled(m.x, Scale(m.frameWidth, m.width)), Scaled(m.y, Scale(m.frameHeight, m.height))};
}

ScreenPoint StreamToScreen(const MonitorPlace& m, std::int32_t x, std::int32_t y) {
  const ScreenPoint origin = MonitorOrigin(m);
  return {origin.x + x, origin.y + y};
}

int ScreenToStream(const std::vector<MonitorPlace>& monitors, ScreenPoint point, int preferred, std::int32_t& x,
                   std::int32_t& y) {
  if (preferred >= 0 && static_cast<std::size_t>(preferred) < monitors.size() &&
      Inside(monitors[static_cast<std::size_t>(preferred)], point, x, y)) {
    return preferred;
  }
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    if (Inside(monitors[i], point, x, y)) return static_cast<int>(i);
  }
  return -1;
}

std::vector<MonitorPlace> PlaceStreams(const std::vector<PortalStream>& streams, const std::vector<FrameSize>& frames,
                                       const std::vector<LayoutMonitor>& layout, const std::vector<int>& pins) {
  ScreenPoint origin{};
  for (const LayoutMonitor& m : layout) {
    if (m.primary) {
      origin = {m.x, m.y};
      break;
    }
  }
  std::vector<MonitorPlace> places(streams.size());
  std::vector<bool> placed(streams.size(), false);
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const PortalStream& s = streams[i];
    MonitorPlace& p = places[i];
    if (i < frames.size()) {
      p.frameWidth = frames[i].width;
      p.frameHeight = frames[i].height;
    }
    p.width = s.width;
    p.height = s.height;
    if (s.hasPosition) {
      p.x = s.x - origin.x;
      p.y = s.y - origin.y;
      placed[i] = true;
    }
  }
  std::vector<bool> taken(layout.size(), false);
  auto take = [&](std::size_t i, std::size_t j) {
    const LayoutMonitor& m = layout[j];
    places[i].x = m.x - origin.x;
    places[i].y = m.y - origin.y;
    places[i].width = m.width;
    places[i].height = m.height;
    taken[j] = placed[i] = true;
  };
  // Streams without a position: those whose monitor has been seen first, then by size, the exact matches
  // before the scaled ones, so that a scaled match never takes a monitor another stream fits exactly.
  for (std::size_t i = 0; i < streams.size() && i < pins.size(); ++i) {
    const int j = pins[i];
    if (placed[i] || j < 0 || static_cast<std::size_t>(j) >= layout.size() || taken[static_cast<std::size_t>(j)] ||
        !SameShape(SizeOf(streams[i], frames, i), layout[static_cast<std::size_t>(j)])) {
      continue;
    }
    take(i, static_cast<std::size_t>(j));
  }
  const std::vector<bool> pinned = placed;
  for (const auto matches : {SameSize, SameShape}) {
    for (std::size_t i = 0; i < streams.size(); ++i) {
      if (placed[i]) continue;
      const FrameSize size = SizeOf(streams[i], frames, i);
      std::size_t fits = 0, first = layout.size();
      for (std::size_t j = 0; j < layout.size(); ++j) {
        if (taken[j] || !matches(size, layout[j])) continue;
        if (fits++ == 0) first = j;
      }
      if (fits == 0) continue;
      take(i, first);
      places[i].unsure = fits > 1;
    }
  }
  // A stream that took the last of two same-sized monitors is as unsure as the one that took the first.
  for (std::size_t i = 0; i < streams.size(); ++i) {
    if (!placed[i] || pinned[i] || places[i].unsure) continue;
    for (std::size_t k = 0; k < streams.size(); ++k) {
      if (k != i && places[k].unsure && !pinned[k] &&
          SameShape(SizeOf(streams[i], frames, i),
                    {places[k].x, places[k].y, places[k].width, places[k].height, false})) {
        places[i].unsure = true;
      }
    }
  }
  return places;
}

int SightedMonitor(const std::vector<LayoutMonitor>& layout, FrameSize frame, ScreenPoint framePoint,
                   ScreenPoint root) {
  int found = -1;
  for (std::size_t j = 0; j < layout.size(); ++j) {
    const LayoutMonitor& m = layout[j];
    if (!SameShape(frame, m)) continue;
    const std::int64_t x = m.x + std::llround(static_cast<double>(framePoint.x) * m.width / frame.width);
    const std::int64_t y = m.y + std::llround(static_cast<double>(framePoint.y) * m.height / frame.height);
    if (std::abs(x - root.x) > 1 || std::abs(y - root.y) > 1) continue;
    if (found >= 0) return -1;
    found = static_cast<int>(j);
  }
  return found;
}

}  // namespace tintvale::portal
