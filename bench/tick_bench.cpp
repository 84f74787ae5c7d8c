// Runs the real program on the real Qt platform while a thread moves the pointer over the striped root at
// 100 Hz, and reports what one tick costs next to the bare xcb floor measured in the same run, how far the
// swatch lags the pointer and how often it is repainted. It only wraps the platform seam: each window's
// events are passed through a proxy that times the tick, and its swatch colour writes are recorded.
// Usage: tick_bench [SECONDS]   (default 10; the first second is warm-up)
//        tick_bench SECONDS --moves FILE   with TINTVALE_SCREEN=portal: the pointer is moved by the test
//        PipeWire source (tests/portal), which logs each move's time and colour to FILE; no X pointer moves.
#include <unistd.h>

#include <QTimer>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "bench/figures.h"
#include "bench/proxy_platform.h"
#include "bench/xcb_sample.h"
#include "main_window/program.h"
#include "platform/platform.h"
#include "platform/qt/toolkit.h"

using namespace tintvale;
using namespace tintvale::bench;

namespace {

struct Recorder : TickRecord {
  std::vector<Paint> paints;  // the swatch colour writes
};

class ProxyWindow final : public ForwardingWindow {
 public:
  ProxyWindow(std::unique_ptr<NativeWindow> inner, int swatch, Recorder& rec)
      : ForwardingWindow(std::move(inner)), swatch_(swatch), rec_(rec) {}
  void SetBackColor(int control, ColorValue color) override {
    if (control == swatch_) rec_.paints.push_back({Now(), color});
    inner_->SetBackColor(control, color);
  }
  void SetTimer(int control, bool enabled, int intervalMs) override {
    inner_->SetTimer(control, enabled, intervalMs);
    // The window paints a tick's changes once its handler has returned, still inside the timer's signal;
    // a receiver connected after the window's own runs when that paint is done (TickPaint::kStampedByWindow).
    if (!enabled || !timed_.insert(control).second) return;
    if (auto* timer = qobject_cast<QTimer*>(qt::ControlObject(*inner_, control))) {
      Recorder* rec = &rec_;
      QObject::connect(timer, &QTimer::timeout, timer, [rec] {
        if (!rec->ticks.empty()) rec->ticks.back().painted = Now();
      });
    }
  }

 private:
  int swatch_;
  Recorder& rec_;
  std::set<int> timed_;
};

class BenchToolkit final : public ProxyToolkit {
 public:
  BenchToolkit(Toolkit& inner, Recorder& rec) : ProxyToolkit(inner, rec, Now, TickPaint::kStampedByWindow), rec_(rec) {}

 private:
  std::unique_ptr<ForwardingWindow> WrapWindow(const WindowLayout& layout,
                                               std::unique_ptr<NativeWindow> window) override {
    int swatch = -2;
    for (std::size_t i = 0; i < layout.controls.size(); ++i) {
      if (layout.name == "Form1" && layout.controls[i].name == "Picture1") swatch = static_cast<int>(i);
    }
    return std::make_unique<ProxyWindow>(std::move(window), swatch, rec_);
  }

  Recorder& rec_;
};

void PrintSummary(const char* name, const std::vector<double>& v) {
  Summary s = Summarise(v);
  std::printf("%s median %.1f p90 %.1f n %zu\n", name, s.median, s.p90, s.count);
}

// The moves the test source logged ("time colour" lines), in time order.
std::vector<Move> ReadMoves(const char* path) {
  std::vector<Move> moves;
  std::ifstream in(path);
  Move m;
  while (in >> m.t >> m.color) moves.push_back(m);
  return moves;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 10;
  const char* movesFile = argc > 3 && std::string(argv[2]) == "--moves" ? argv[3] : nullptr;
  char* programArgs[] = {argv[0], nullptr};
  std::unique_ptr<Platform> platform = CreatePlatform(1, programArgs);
  if (!platform) return 1;

  xcb_window_t root = 0;
  int width = 0, height = 0;
  XcbConnection floorConn = Connect(root, width, height);
  if (!floorConn) return 1;
  Recorder rec;
  rec.ticks.reserve(static_cast<std::size_t>(seconds * 200 + 400));
  rec.paints.reserve(rec.ticks.capacity());

  // The pointer mover on its own connection, as another client would be.
  std::vector<Move> moves;
  moves.reserve(rec.ticks.capacity());
  std::atomic<bool> stop{false};
  std::atomic<int> moverTid{0};
  std::thread mover([&] {
    moverTid = static_cast<int>(gettid());
    if (movesFile) return;  // the test source moves the pointer
    xcb_window_t moverRoot = 0;
    int w = 0, h = 0;
    XcbConnection c = Connect(moverRoot, w, h);
    if (!c) return;
    PaintStripes(c.get(), moverRoot, w, h);
    int row = h - 40;
    long step = 0;
    // Moves land half a period after the ticks. A pointer that moves in step with the ticks would be seen
    // twice at one place or not at all whenever the two clocks jitter across each other, and the figures
    // would measure that beat rather than the program. The ticks' phase is followed, as a late tick
    // restarts the timer's period.
    for (double t = Now(); !stop.load(); t += 0.01, ++step) {
      if (const double tick = rec.lastTick.load(); tick > 0) {
        double wanted = tick + 0.005;
        wanted += std::round((t - wanted) / 0.01) * 0.01;
        if (std::fabs(wanted - t) > 0.002) t = wanted;
      }
      SleepUntil(t);
      int mx = MoverX(step, w);
      MovePointer(c.get(), moverRoot, mx, row);
      moves.push_back({Now(), StripeColor(mx / kStripeWidth)});
    }
  });

  // The floor in the same run, with the pointer moving: back to back, then on an absolute 10 ms timer,
  // where each sample pays the same wake-up from sleep that a tick pays.
  std::vector<double> floorUs, floorTimerUs;
  int x = 0, y = 0;
  std::uint32_t px = 0;
  for (int i = 0; i < 100; ++i) SampleOnce(floorConn.get(), root, x, y, px);
  for (int i = 0; i < 3000; ++i) {
    double t0 = Now();
    SampleOnce(floorConn.get(), root, x, y, px);
    floorUs.push_back((Now() - t0) * 1e6);
  }
  for (double t = Now() + 0.01, end = t + 3; t < end; t += 0.01) {
    SleepUntil(t);
    double t0 = Now();
    SampleOnce(floorConn.get(), root, x, y, px);
    floorTimerUs.push_back((Now() - t0) * 1e6);
  }

  long long cpuStart = -1, cpuEnd = -1, allStart = -1, allEnd = -1;
  int status = 0;
  {
    BenchToolkit forms(platform->Toolkit(), rec);
    StampingScreen stamping(platform->ScreenServices(), rec.current, Now);
    fake::FrontedPlatform bench(*platform, forms, stamping);
    rec.WarmUpThenMeasure(Now(), seconds);
    Program program(bench);
    program.Start();
    // The main thread only: the mover thread's own work is not the program's.
    // The whole process less the mover thread: Qt's own threads (the xcb event reader) count too.
    cpuStart = CpuTicksOfTask(getpid(), getpid());
    allStart = CpuTicksOf(getpid()) - (movesFile ? 0 : CpuTicksOfTask(getpid(), moverTid));
    status = bench.Toolkit().Run();
    cpuEnd = CpuTicksOfTask(getpid(), getpid());
    allEnd = CpuTicksOf(getpid()) - (movesFile ? 0 : CpuTicksOfTask(getpid(), moverTid));
  }
  stop = true;
  mover.join();

  std::vector<double> tickUs, tickPaintUs, cursorUs, pixelUs;
  std::size_t measured = 0;
  for (const TickTimes& t : rec.ticks) {
    if (t.start < rec.warmEnd) continue;
    ++measured;
    tickUs.push_back((t.ticked - t.start) * 1e6);
    tickPaintUs.push_back((t.painted - t.start) * 1e6);
    if (t.cursor > 0) cursorUs.push_back((t.cursor - t.start) * 1e6);
    if (t.pixel > 0 && t.cursor > 0) pixelUs.push_back((t.pixel - t.cursor) * 1e6);
  }
  if (movesFile) moves = ReadMoves(movesFile);
  std::vector<Move> warmMoves;
  for (const Move& m : moves) {
    if (m.t >= rec.warmEnd && m.t < rec.end - 0.05) warmMoves.push_back(m);
  }
  std::vector<Paint> warmPaints;
  std::size_t changes = 0;
  std::uint32_t last = kInvalidColor;
  for (const Paint& p : rec.paints) {
    if (p.t < rec.warmEnd) continue;
    warmPaints.push_back(p);
    if (p.color != last) ++changes;
    last = p.color;
  }
  LagFigures lag = MatchLag(warmMoves, warmPaints);
  double span = rec.ticks.empty() ? 0 : rec.ticks.back().start - rec.warmEnd;

  PrintSummary("floor_us", floorUs);
  PrintSummary("floor_timer_us", floorTimerUs);
  PrintSummary("tick_us", tickUs);
  PrintSummary("tick_paint_us", tickPaintUs);
  PrintSummary("tick_to_cursor_us", cursorUs);
  PrintSummary("tick_pixel_us", pixelUs);
  PrintSummary("lag_ms", lag.lagsMs);
  std::printf("lag_unmatched %zu of %zu\n", lag.unmatched, warmMoves.size());
  std::printf("ticks_per_s %.1f\n", span > 0 ? static_cast<double>(measured) / span : 0);
  std::printf("swatch_writes_per_s %.1f\n", span > 0 ? static_cast<double>(warmPaints.size()) / span : 0);
  std::printf("swatch_changes_per_s %.1f\n", span > 0 ? static_cast<double>(changes) / span : 0);
  auto perTick = [&](long long a, long long b) {
    if (a < 0 || b < 0 || rec.ticks.empty()) return 0.0;
    return static_cast<double>(b - a) / static_cast<double>(sysconf(_SC_CLK_TCK)) * 1e6 /
           static_cast<double>(rec.ticks.size());
  };
  std::printf("cpu_us_per_tick %.1f main_thread %.1f\n", perTick(allStart, allEnd), perTick(cpuStart, cpuEnd));
  if (span > 0) {
    std::printf("cpu_percent %.2f\n",
                perTick(allStart, allEnd) * static_cast<double>(rec.ticks.size()) / (span + 1) / 1e4);
  }
  std::printf("exit_status %d\n", status);
  return 0;
}
