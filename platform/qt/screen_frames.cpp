#include "platform/qt/screen_frames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tintvale::qt {
namespace {

// Where red, green and blue sit among a pixel's four bytes.
struct ByteOrder {
  int red, green, blue;
};

bool OrderOf(FrameFormat format, ByteOrder& order) {
  switch (format) {
    case FrameFormat::kBGRx:
    case FrameFormat::kBGRA: order = {2, 1, 0}; return true;
    case FrameFormat::kRGBx:
    case FrameFormat::kRGBA: order = {0, 1, 2}; return true;
    case FrameFormat::kxRGB:
    case FrameFormat::kARGB: order = {1, 2, 3}; return true;
    case FrameFormat::kxBGR:
    case FrameFormat::kABGR: order = {3, 2, 1}; return true;
    case FrameFormat::kUnknown: break;
  }
  return false;
}

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

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

ColorValue FramePixel(const FrameView& frame, std::int32_t x, std::int32_t y) {
  ByteOrder order{};
  if (!frame.data || !OrderOf(frame.format, order)) return kInvalidColor;
  if (x < 0 || y < 0 || x >= frame.width || y >= frame.height) return kInvalidColor;
  if (frame.stride < std::int64_t{frame.width} * 4) return kInvalidColor;
  const std::uint64_t at = frame.offset + std::uint64_t(y) * std::uint64_t(frame.stride) + std::uint64_t(x) * 4;
  if (at + 4 > frame.size) return kInvalidColor;
  const std::uint8_t* p = frame.data + at;
  return ColorValue{p[order.red]} | ColorValue{p[order.green]} << 8 | ColorValue{p[order.blue]} << 16;
}

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

PointerVerdict JudgePointer(const PointerEvidence& e, std::int64_t graceMs) {
  if (e.metaMissing) return PointerVerdict::kNoMetadata;
  if (e.positionSeen) return PointerVerdict::kWorking;
  if (!e.frameSeen || !e.everyMonitorShared) return PointerVerdict::kWaiting;
  return e.msSinceFirstFrame >= graceMs ? PointerVerdict::kNoPosition : PointerVerdict::kWaiting;
}

std::string RestoreTokenPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  // The XDG rule: a relative path is invalid and is ignored.
  if (state && state[0] == '/') return std::string(state) + "/tintvale/restore-token";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/state/tintvale/restore-token";
  return std::string();
}

bool IsRestoreToken(std::string_view t) {
  if (t.size() != 36) return false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? t[i] != '-' : !IsHex(t[i])) return false;
  }
  return true;
}

std::string ReadRestoreToken(const std::string& path) {
  if (path.empty()) return std::string();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return std::string();
  char buffer[128];
  std::string text;
  ssize_t n = 0;
  // A token is 36 characters; a longer file is not one of ours.
  while (text.size() <= 64 && ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))) {
    if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return IsRestoreToken(text) ? text : std::string();
}

bool WriteRestoreToken(const std::string& path, const std::string& token) {
  if (path.empty()) return false;
  if (token.empty()) return ::unlink(path.c_str()) == 0 || errno == ENOENT;
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return false;
  // Each missing folder on the way, as mkdir -p would; the state folder itself may not exist yet.
  for (std::size_t at = path.find('/', 1); at != std::string::npos && at <= slash; at = path.find('/', at + 1)) {
    const std::string dir = path.substr(0, at);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());  // created 0600
  if (fd < 0) return false;
  const std::string text = token + "\n";
  bool ok = ::fchmod(fd, 0600) == 0;
  std::size_t done = 0;
  while (ok && done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace tintvale::qt
