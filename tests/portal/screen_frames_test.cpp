// The plain functions of the screen-cast path: pixels of shared-memory frames in every accepted layout,
// with padded rows and an offset; where each monitor's frame lands on the screen; the token file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/screen_frames.h"

namespace tintvale::qt {
namespace {

struct FormatRow {
  FrameFormat format;
  std::uint8_t bytes[4];  // how 0x00BBGGRR = 0x00332211 (red 11, green 22, blue 33) lies in memory
  const char* name;
};

TEST(FramePixel, EveryLayoutWithStrideAndOffset) {
  const FormatRow rows[] = {
      {FrameFormat::kBGRx, {0x33, 0x22, 0x11, 0x00}, "BGRx"}, {FrameFormat::kBGRA, {0x33, 0x22, 0x11, 0x80}, "BGRA"},
      {FrameFormat::kRGBx, {0x11, 0x22, 0x33, 0x00}, "RGBx"}, {FrameFormat::kRGBA, {0x11, 0x22, 0x33, 0x80}, "RGBA"},
      {FrameFormat::kxRGB, {0x00, 0x11, 0x22, 0x33}, "xRGB"}, {FrameFormat::kARGB, {0x80, 0x11, 0x22, 0x33}, "ARGB"},
      {FrameFormat::kxBGR, {0x00, 0x33, 0x22, 0x11}, "xBGR"}, {FrameFormat::kABGR, {0x80, 0x33, 0x22, 0x11}, "ABGR"},
  };
  // A 3 x 2 frame, rows 20 bytes apart (8 bytes of padding), starting 5 bytes into the buffer; the pixel
  // at (2, 1) holds the colour, every other byte is 0xEE.
  for (const FormatRow& row : rows) {
    std::vector<std::uint8_t> buffer(5 + 2 * 20, 0xEE);
    std::copy(row.bytes, row.bytes + 4, buffer.begin() + 5 + 20 + 8);
    FrameView f{buffer.data(), buffer.size(), 5, 20, 3, 2, row.format};
    EXPECT_EQ(FramePixel(f, 2, 1), 0x00332211u) << row.name;
    EXPECT_EQ(FramePixel(f, 1, 1), 0x00EEEEEEu) << row.name;
  }
}

TEST(FramePixel, FailsWhereThePixelCannotBeRead) {
  std::vector<std::uint8_t> buffer(64, 0);
  const FrameView good{buffer.data(), buffer.size(), 0, 16, 4, 4, FrameFormat::kBGRx};
  struct Row {
    FrameView frame;
    std::int32_t x, y;
    const char* why;
  } rows[] = {
      {good, 4, 0, "right of the frame"},
      {good, 0, 4, "below the frame"},
      {good, -1, 0, "left of the frame"},
      {good, 0, -1, "above the frame"},
      {{buffer.data(), buffer.size(), 0, 12, 4, 4, FrameFormat::kBGRx}, 0, 0, "stride shorter than a row"},
      {{buffer.data(), buffer.size(), 4, 16, 4, 4, FrameFormat::kBGRx}, 3, 3, "offset pushes the last pixel out"},
      {{buffer.data(), 60, 0, 16, 4, 4, FrameFormat::kBGRx}, 3, 3, "buffer one pixel short"},
      {{buffer.data(), buffer.size(), 0, 16, 4, 4, FrameFormat::kUnknown}, 0, 0, "unknown format"},
      {{nullptr, 0, 0, 16, 4, 4, FrameFormat::kBGRx}, 0, 0, "no frame yet"},
  };
  for (const Row& r : rows) EXPECT_EQ(FramePixel(r.frame, r.x, r.y), kInvalidColor) << r.why;
  EXPECT_EQ(FramePixel(good, 3, 3), 0u) << "the last pixel of a frame that fits exactly";
}

struct PlaceRow {
  MonitorPlace monitor;
  ScreenPoint stream;    // a point of its frame
  ScreenPoint expected;  // on the screen
  const char* layout;
};

// The primary monitor at logical 0,0 with frames 1920 wide; others at their own scale.
TEST(MonitorPlacement, FramePointsOnTheScreen) {
  const PlaceRow rows[] = {
      {{0, 0, 1920, 1080, 1920, 1080}, {10, 20}, {10, 20}, "primary at scale 1"},
      {{0, 0, 1536, 864, 1920, 1080}, {10, 20}, {10, 20}, "primary at scale 1.25"},
      {{1920, 0, 1280, 720, 2560, 1440}, {0, 0}, {3840, 0}, "right of a scale-1 primary, at scale 2"},
      {{-1536, 0, 1536, 864, 1920, 1080}, {0, 5}, {-1920, 5}, "left of the primary at scale 1.25"},
      {{-960, 0, 960, 540, 1920, 1080}, {1919, 0}, {-1, 0}, "left at scale 2: its last column ends at -1"},
      {{0, -1080, 1920, 1080, 1920, 1080}, {7, 1079}, {7, -1}, "above the primary at scale 1"},
      {{100, -432, 768, 432, 1536, 864}, {0, 0}, {200, -864}, "above and right at scale 2"},
      {{0, 0, 0, 0, 800, 600}, {3, 4}, {3, 4}, "no logical size given: scale 1"},
  };
  for (const PlaceRow& r : rows) {
    const ScreenPoint p = StreamToScreen(r.monitor, r.stream.x, r.stream.y);
    EXPECT_EQ(p.x, r.expected.x) << r.layout;
    EXPECT_EQ(p.y, r.expected.y) << r.layout;
  }
}

TEST(MonitorPlacement, ScreenPointsBackToTheirFrame) {
  // Two monitors: the primary at scale 1 and one to its left at scale 2.
  const std::vector<MonitorPlace> monitors = {{0, 0, 1920, 1080, 1920, 1080}, {-960, 0, 960, 540, 1920, 1080}};
  struct Row {
    ScreenPoint screen;
    int monitor;
    std::int32_t x, y;
    const char* where;
  } rows[] = {
      {{0, 0}, 0, 0, 0, "top left of the primary"},
      {{1919, 1079}, 0, 1919, 1079, "bottom right of the primary"},
      {{-1, 0}, 1, 1919, 0, "last column of the left monitor"},
      {{-1920, 1079}, 1, 0, 1079, "bottom left of the left monitor"},
      {{-1921, 0}, -1, 0, 0, "left of every monitor"},
      {{1920, 0}, -1, 0, 0, "right of every monitor"},
      {{5, 1080}, -1, 0, 0, "below the primary"},
  };
  for (const Row& r : rows) {
    std::int32_t x = 0, y = 0;
    EXPECT_EQ(ScreenToStream(monitors, r.screen, -1, x, y), r.monitor) << r.where;
    if (r.monitor >= 0) {
      EXPECT_EQ(x, r.x) << r.where;
      EXPECT_EQ(y, r.y) << r.where;
    }
  }
}

TEST(MonitorPlacement, OverlappingScaledMonitorsAnswerForTheOneThePointCameFrom) {
  // Monitors at different scales can cover the same screen pixels once converted (here both start at
  // 0,0): the monitor the pointer was last reported on answers first, so its own frame is read.
  const std::vector<MonitorPlace> monitors = {{0, 0, 1920, 1080, 1920, 1080}, {0, 0, 960, 540, 1920, 1080}};
  std::int32_t x = 0, y = 0;
  EXPECT_EQ(ScreenToStream(monitors, {100, 100}, 1, x, y), 1);
  EXPECT_EQ(ScreenToStream(monitors, {100, 100}, -1, x, y), 0);
  EXPECT_EQ(ScreenToStream(monitors, {100, 100}, 7, x, y), 0) << "a preferred index out of range is ignored";
}

// One desktop: what the portal says of each stream, its frame size, XWayland's monitors, and where points
// of each stream's frame must show.
struct Probe {
  std::size_t stream;
  ScreenPoint frame;
  ScreenPoint screen;
};
struct DesktopRow {
  const char* desktop;
  std::vector<PortalStream> streams;
  std::vector<FrameSize> frames;
  std::vector<LayoutMonitor> layout;
  std::vector<Probe> probes;
};

void ExpectPlacement(const DesktopRow& row) {
  const std::vector<MonitorPlace> places = PlaceStreams(row.streams, row.frames, row.layout);
  ASSERT_EQ(places.size(), row.streams.size()) << row.desktop;
  for (const Probe& probe : row.probes) {
    const ScreenPoint p = StreamToScreen(places[probe.stream], probe.frame.x, probe.frame.y);
    EXPECT_EQ(p.x, probe.screen.x) << row.desktop << ": stream " << probe.stream << " at " << probe.frame.x << ","
                                   << probe.frame.y;
    EXPECT_EQ(p.y, probe.screen.y) << row.desktop << ": stream " << probe.stream << " at " << probe.frame.x << ","
                                   << probe.frame.y;
    // And back: the point is read from that stream's frame at that place (once there is a frame).
    if (row.frames.empty()) continue;
    std::int32_t x = -1, y = -1;
    EXPECT_EQ(ScreenToStream(places, probe.screen, static_cast<int>(probe.stream), x, y),
              static_cast<int>(probe.stream))
        << row.desktop << ": " << probe.screen.x << "," << probe.screen.y;
    EXPECT_EQ(x, probe.frame.x) << row.desktop;
    EXPECT_EQ(y, probe.frame.y) << row.desktop;
  }
}

PortalStream At(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) { return {true, x, y, w, h}; }
PortalStream Unplaced(std::int32_t w, std::int32_t h) { return {false, 0, 0, w, h}; }

// GNOME: mutter refuses negative positions, so a monitor left of the primary puts the primary at x > 0;
// its stream order is not monitor order (the second monitor came first in every measured run).
TEST(PlaceStreams, GnomeMeasuresFromXWaylandsPrimaryInBothLayoutModes) {
  const DesktopRow rows[] = {
      {"physical: 1024x768 left of a 1920x1080 primary, scale 1",
       {At(0, 0, 1024, 768), At(1024, 0, 1920, 1080)},
       {{1024, 768}, {1920, 1080}},
       {{1024, 0, 1920, 1080, true}, {0, 0, 1024, 768, false}},
       {{1, {0, 0}, {0, 0}}, {1, {1919, 1079}, {1919, 1079}}, {0, {0, 0}, {-1024, 0}}, {0, {1023, 767}, {-1, 767}}}},
      {"physical: a 3200x1800 primary at scale 2 right of a 1024x768 monitor (device pixels everywhere)",
       {At(0, 0, 1024, 768), At(1024, 0, 3200, 1800)},
       {{1024, 768}, {3200, 1800}},
       {{1024, 0, 3200, 1800, true}, {0, 0, 1024, 768, false}},
       {{1, {0, 0}, {0, 0}}, {1, {3199, 1799}, {3199, 1799}}, {0, {1023, 0}, {-1, 0}}}},
      {"logical: the same, the primary logical 1600x900, XWayland in layout pixels",
       {At(0, 0, 1024, 768), At(1024, 0, 1600, 900)},
       {{1024, 768}, {3200, 1800}},
       {{1024, 0, 1600, 900, true}, {0, 0, 1024, 768, false}},
       {{1, {0, 0}, {0, 0}}, {1, {3199, 1799}, {3199, 1799}}, {0, {0, 0}, {-1024, 0}}, {0, {1023, 767}, {-1, 767}}}},
      {"logical: a 1600x960 monitor at scale 2 (logical 800x480) left of a scale-1 primary",
       {At(0, 0, 800, 480), At(800, 0, 1024, 768)},
       {{1600, 960}, {1024, 768}},
       {{800, 0, 1024, 768, true}, {0, 0, 800, 480, false}},
       {{1, {0, 0}, {0, 0}}, {0, {0, 0}, {-1600, 0}}, {0, {1599, 959}, {-1, 959}}}},
      {"physical: a monitor above the primary",
       {At(0, 0, 1024, 768), At(0, 768, 1920, 1080)},
       {{1024, 768}, {1920, 1080}},
       {{0, 768, 1920, 1080, true}, {0, 0, 1024, 768, false}},
       {{1, {5, 0}, {5, 0}}, {0, {7, 767}, {7, -1}}}},
      {"the primary at 0,0 with a monitor on its right",
       {At(1920, 0, 1024, 768), At(0, 0, 1920, 1080)},
       {{1024, 768}, {1920, 1080}},
       {{0, 0, 1920, 1080, true}, {1920, 0, 1024, 768, false}},
       {{1, {0, 0}, {0, 0}}, {0, {0, 0}, {1920, 0}}}},
      {"no primary in RandR: the layout's 0,0 is the origin, as before",
       {At(0, 0, 1024, 768), At(1024, 0, 1920, 1080)},
       {{1024, 768}, {1920, 1080}},
       {{1024, 0, 1920, 1080, false}, {0, 0, 1024, 768, false}},
       {{0, {0, 0}, {0, 0}}, {1, {0, 0}, {1024, 0}}}},
      {"no RandR at all",
       {At(0, 0, 1024, 768), At(1024, 0, 1920, 1080)},
       {{1024, 768}, {1920, 1080}},
       {},
       {{0, {0, 0}, {0, 0}}, {1, {0, 0}, {1024, 0}}}},
      {"frame sizes not known yet: the portal's size stands for the frame",
       {At(0, 0, 1024, 768), At(1024, 0, 1920, 1080)},
       {},
       {{1024, 0, 1920, 1080, true}},
       {{0, {0, 0}, {-1024, 0}}, {1, {0, 0}, {0, 0}}}},
  };
  for (const DesktopRow& row : rows) ExpectPlacement(row);
}

// KDE 5.27: no position, the size in device pixels; XWayland lays the monitors out at the largest
// monitor scale (a scale-1 monitor beside a scale-2 one shows at twice its pixel size).
TEST(PlaceStreams, KdeStreamsTakeTheXWaylandMonitorOfTheirSize) {
  const DesktopRow rows[] = {
      {"two sizes at scale 1, the right one primary, the streams in the other order",
       {Unplaced(1920, 1080), Unplaced(1024, 768)},
       {{1920, 1080}, {1024, 768}},
       {{0, 0, 1024, 768, false}, {1024, 0, 1920, 1080, true}},
       {{0, {0, 0}, {0, 0}}, {0, {1919, 1079}, {1919, 1079}}, {1, {0, 0}, {-1024, 0}}, {1, {1023, 767}, {-1, 767}}}},
      {"the primary left at 0,0, a monitor on its right",
       {Unplaced(1024, 768), Unplaced(1280, 1024)},
       {{1024, 768}, {1280, 1024}},
       {{0, 0, 1280, 1024, true}, {1280, 0, 1024, 768, false}},
       {{1, {0, 0}, {0, 0}}, {0, {0, 0}, {1280, 0}}, {0, {1023, 767}, {2303, 767}}}},
      {"a scale-1 1920x1080 primary shown at 3840x2160 beside a 2560x1600 monitor at scale 2",
       {Unplaced(2560, 1600), Unplaced(1920, 1080)},
       {{2560, 1600}, {1920, 1080}},
       {{0, 0, 2560, 1600, false}, {2560, 0, 3840, 2160, true}},
       {{1, {0, 0}, {0, 0}}, {1, {1919, 1079}, {1919, 1079}}, {0, {0, 0}, {-2560, 0}}, {0, {2559, 0}, {-1, 0}}}},
      {"a fractional scale: 2560x1440 at 1.5 that XWayland lists as 1707x960",
       {Unplaced(2560, 1440)},
       {{2560, 1440}},
       {{0, 0, 1707, 960, true}},
       {{0, {0, 0}, {0, 0}}, {0, {2559, 1439}, {2559, 1439}}}},
      {"before the first format: the portal's size (device pixels) is matched",
       {Unplaced(1920, 1080), Unplaced(1024, 768)},
       {},
       {{0, 0, 1024, 768, false}, {1024, 0, 1920, 1080, true}},
       {{1, {0, 0}, {-1024, 0}}, {0, {0, 0}, {0, 0}}}},
      {"a stream that matches no monitor sits at 0,0",
       {Unplaced(800, 600), Unplaced(1024, 768)},
       {{800, 600}, {1024, 768}},
       {{100, 0, 1024, 768, true}},
       {{0, {0, 0}, {0, 0}}, {1, {0, 0}, {0, 0}}}},
  };
  for (const DesktopRow& row : rows) ExpectPlacement(row);
}

TEST(PlaceStreams, IdenticalKdeMonitorsAreTakenInOrderUntilTheirPointerIsSeen) {
  // Nothing in the portal tells two monitors of one size apart: until the pointer is seen on one, the
  // first stream takes the first such monitor RandR lists, and both are marked unsure.
  const std::vector<PortalStream> streams = {Unplaced(1024, 768), Unplaced(1024, 768)};
  const std::vector<FrameSize> frames = {{1024, 768}, {1024, 768}};
  const std::vector<LayoutMonitor> layout = {{0, 0, 1024, 768, true}, {1024, 0, 1024, 768, false}};
  struct Row {
    std::vector<int> pins;
    std::int32_t x0, x1;
    bool unsure;
    const char* why;
  } rows[] = {
      {{}, 0, 1024, true, "nothing seen: in order"},
      {{1, -1}, 1024, 0, false, "stream 0 seen on the second monitor: stream 1 takes the first"},
      {{-1, 0}, 1024, 0, false, "stream 1 seen on the first monitor"},
      {{0, 1}, 0, 1024, false, "both seen where the order put them"},
      {{5, -1}, 0, 1024, true, "a monitor that is not there"},
  };
  for (const Row& r : rows) {
    const std::vector<MonitorPlace> places = PlaceStreams(streams, frames, layout, r.pins);
    EXPECT_EQ(places[0].x, r.x0) << r.why;
    EXPECT_EQ(places[1].x, r.x1) << r.why;
    EXPECT_EQ(places[0].unsure, r.unsure) << r.why;
    EXPECT_EQ(places[1].unsure, r.unsure) << r.why;
  }
  // Either way each stream's frame answers for its own place, so the colour is that under the pointer.
  const std::vector<MonitorPlace> places = PlaceStreams(streams, frames, layout);
  std::int32_t x = 0, y = 0;
  EXPECT_EQ(ScreenToStream(places, StreamToScreen(places[1], 5, 6), 1, x, y), 1);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 6);
}

TEST(PlaceStreams, UnsureOnlyWhereAnotherFreeMonitorFitsAsWell) {
  struct Row {
    std::vector<PortalStream> streams;
    std::vector<FrameSize> frames;
    std::vector<LayoutMonitor> layout;
    std::vector<bool> unsure;
    const char* why;
  } rows[] = {
      {{Unplaced(1920, 1080), Unplaced(1024, 768)},
       {{1920, 1080}, {1024, 768}},
       {{0, 0, 1024, 768, true}, {1024, 0, 1920, 1080, false}},
       {false, false},
       "two sizes"},
      {{Unplaced(1024, 768)},
       {{1024, 768}},
       {{0, 0, 1024, 768, true}, {1024, 0, 1024, 768, false}},
       {true},
       "one stream shared of two identical monitors"},
      {{At(0, 0, 1024, 768), At(1024, 0, 1024, 768)},
       {{1024, 768}, {1024, 768}},
       {{0, 0, 1024, 768, true}, {1024, 0, 1024, 768, false}},
       {false, false},
       "GNOME: identical monitors with their positions"},
      {{Unplaced(1024, 768), Unplaced(1024, 768), Unplaced(1280, 1024)},
       {{1024, 768}, {1024, 768}, {1280, 1024}},
       {{0, 0, 2048, 1536, true}, {2048, 0, 2048, 1536, false}, {4096, 0, 2560, 2048, false}},
       {true, true, false},
       "KDE at scale 2: two of one shape, one of another"},
  };
  for (const Row& r : rows) {
    const std::vector<MonitorPlace> places = PlaceStreams(r.streams, r.frames, r.layout);
    for (std::size_t i = 0; i < places.size(); ++i) EXPECT_EQ(places[i].unsure, r.unsure[i]) << r.why << ": " << i;
  }
}

TEST(SightedMonitor, NamesTheOneMonitorWhereThePointerLies) {
  const std::vector<LayoutMonitor> twins = {{0, 0, 1024, 768, true}, {1024, 0, 1024, 768, false}};
  const std::vector<LayoutMonitor> scaled = {{0, 0, 2048, 1536, true}, {2048, 0, 2048, 1536, false}};
  const std::vector<LayoutMonitor> mirrored = {{0, 0, 1024, 768, true}, {0, 0, 1024, 768, false}};
  struct Row {
    const std::vector<LayoutMonitor>& layout;
    FrameSize frame;
    ScreenPoint framePoint, root;
    int monitor;
    const char* why;
  } rows[] = {
      {twins, {1024, 768}, {10, 20}, {1034, 20}, 1, "on the second"},
      {twins, {1024, 768}, {10, 20}, {10, 20}, 0, "on the first"},
      {twins, {1024, 768}, {10, 20}, {11, 21}, 0, "a pixel off"},
      {twins, {1024, 768}, {10, 20}, {12, 20}, -1, "two pixels off: another place"},
      {twins, {1024, 768}, {10, 20}, {500, 500}, -1, "the X server's pointer elsewhere"},
      {twins, {800, 600}, {10, 20}, {10, 20}, -1, "a frame of another shape"},
      {scaled, {1024, 768}, {10, 20}, {2068, 40}, 1, "XWayland at twice the stream's pixels"},
      {mirrored, {1024, 768}, {10, 20}, {10, 20}, -1, "two monitors in one place: no answer"},
      {twins, {0, 0}, {10, 20}, {10, 20}, -1, "no frame size yet"},
  };
  for (const Row& r : rows) EXPECT_EQ(SightedMonitor(r.layout, r.frame, r.framePoint, r.root), r.monitor) << r.why;
}

TEST(PlaceStreams, AScaledMatchNeverTakesAMonitorAnotherStreamFitsExactly) {
  // 1024x768 fits XWAYLAND1 exactly; 2048x1536 has that shape at scale 2 but must take its own monitor.
  const std::vector<MonitorPlace> places =
      PlaceStreams({Unplaced(2048, 1536), Unplaced(1024, 768)}, {{2048, 1536}, {1024, 768}},
                   {{0, 0, 1024, 768, true}, {1024, 0, 2048, 1536, false}});
  EXPECT_EQ(places[0].x, 1024);
  EXPECT_EQ(places[1].x, 0);
}

TEST(JudgePointer, WaitsForTheFirstPictureAndNeverTripsOnAStillPointer) {
  constexpr std::int64_t kGrace = 4000;
  struct Row {
    PointerEvidence evidence;
    PointerVerdict verdict;
    const char* why;
  } rows[] = {
      {{false, false, false, 0, true}, PointerVerdict::kWaiting, "nothing has come yet"},
      {{true, false, false, 0, true}, PointerVerdict::kNoMetadata, "buffers without cursor metadata: at once"},
      {{true, true, true, 0, true}, PointerVerdict::kNoMetadata, "one stream without metadata is enough"},
      {{false, true, true, 0, true}, PointerVerdict::kWorking, "a position with the first picture"},
      {{false, true, false, 0, true}, PointerVerdict::kWorking, "a position before any picture (cursor-only)"},
      {{false, true, true, 60000, true}, PointerVerdict::kWorking, "a still pointer a minute later"},
      {{false, false, true, 3999, true}, PointerVerdict::kWaiting, "no position yet, within the grace"},
      {{false, false, true, 4000, true}, PointerVerdict::kNoPosition, "no position when the grace is up"},
      {{false, false, false, 0, true}, PointerVerdict::kWaiting, "pictures that never come start no clock"},
      {{false, false, true, 60000, false}, PointerVerdict::kWaiting, "a monitor not shared may hold the pointer"},
  };
  for (const Row& r : rows) EXPECT_EQ(JudgePointer(r.evidence, kGrace), r.verdict) << r.why;
}

class TokenFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/tintvale-token.XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  void Put(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
  std::string dir_;
};

// An environment variable as it was before the test, put back (or unset again) when the test ends.
class KeptVariable {
 public:
  explicit KeptVariable(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) old_ = value;
  }
  ~KeptVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  KeptVariable(const KeptVariable&) = delete;
  KeptVariable& operator=(const KeptVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(TokenFile, PathFollowsTheStateFolder) {
  const KeptVariable state("XDG_STATE_HOME");
  const KeptVariable home("HOME");
  setenv("XDG_STATE_HOME", "/s", 1);
  EXPECT_EQ(RestoreTokenPath(), "/s/tintvale/restore-token");
  setenv("XDG_STATE_HOME", "relative/s", 1);
  setenv("HOME", "/h", 1);
  EXPECT_EQ(RestoreTokenPath(), "/h/.local/state/tintvale/restore-token") << "a relative folder is ignored";
  unsetenv("XDG_STATE_HOME");
  EXPECT_EQ(RestoreTokenPath(), "/h/.local/state/tintvale/restore-token");
}

TEST_F(TokenFile, WrittenPrivatelyInAFolderMadeForIt) {
  const std::string path = dir_ + "/state/tintvale/restore-token";
  const std::string token = "0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8b";
  ASSERT_TRUE(WriteRestoreToken(path, token));
  EXPECT_EQ(ReadRestoreToken(path), token);
  struct stat st{};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((dir_ + "/state/tintvale").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Replaced whole, and no temporary file is left beside it.
  const std::string next = "11111111-2222-3333-4444-555555555555";
  ASSERT_TRUE(WriteRestoreToken(path, next));
  EXPECT_EQ(ReadRestoreToken(path), next);
  EXPECT_EQ(std::system(("test $(ls -A '" + dir_ + "/state/tintvale' | wc -l) -eq 1").c_str()), 0);
  // An empty token removes the file; removing a missing one is no failure.
  ASSERT_TRUE(WriteRestoreToken(path, ""));
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  EXPECT_TRUE(WriteRestoreToken(path, ""));
}

TEST_F(TokenFile, CorruptOrMissingFilesGiveNoToken) {
  const std::string path = dir_ + "/restore-token";
  struct Row {
    std::string text;
    bool valid;
    const char* what;
  } rows[] = {
      {"0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8b\n", true, "a token and a line end"},
      {"0B6E8A5C-2F4D-4C1E-9A3B-7D2E1F0A9C8B", true, "upper case, no line end"},
      {"", false, "empty"},
      {"0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8", false, "one character short"},
      {"0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8bb", false, "one character long"},
      {"0b6e8a5c_2f4d-4c1e-9a3b-7d2e1f0a9c8b", false, "a dash missing"},
      {"0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8g", false, "not hexadecimal"},
      {std::string("0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8b\0garbage", 44), false, "trailing bytes"},
      {std::string(5000, 'a'), false, "a large file"},
  };
  for (const Row& r : rows) {
    Put(path, r.text);
    EXPECT_EQ(ReadRestoreToken(path).empty(), !r.valid) << r.what;
  }
  EXPECT_EQ(ReadRestoreToken(dir_ + "/missing"), "");
  EXPECT_EQ(ReadRestoreToken(dir_), "") << "a folder";
  EXPECT_FALSE(WriteRestoreToken(dir_ + "/restore-token/below", "0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8b"))
      << "a file where the folder should be";
}

}  // namespace
}  // namespace tintvale::qt
