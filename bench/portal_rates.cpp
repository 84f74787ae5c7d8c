// Runs the real program on the real Qt platform with the screen of a Wayland desktop (the screen-cast
// portal, TINTVALE_SCREEN=portal) while someone else moves the pointer, and reports, after a warm-up, how
// often the pointer the program reads changes, how many buffers and full pictures its streams take, and
// the CPU of the program and of another process (the compositor) over the same seconds.
// Usage: portal_rates SECONDS [--watch PID]   (the warm-up is 3 s: the handshake and the first pictures)
#include <unistd.h>

#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/figures.h"
#include "main_window/program.h"
#include "platform/fake/fronted_platform.h"
#include "platform/platform.h"
#include "platform/portal/screen.h"

using namespace tintvale;
using namespace tintvale::bench;

namespace {

constexpr double kWarmUpSeconds = 3;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Counts the pointer reads and the changes among them while counting is on.
class CountingScreen final : public ScreenServices {
 public:
  explicit CountingScreen(ScreenServices& inner) : inner_(inner) {}
  std::unique_ptr<ScreenContext> GetScreen() override { return inner_.GetScreen(); }
  bool CursorPos(ScreenPoint& point) override {
    const bool ok = inner_.CursorPos(point);
    if (counting && ok) {
      ++reads;
      if (point.x != last_.x || point.y != last_.y) ++changes;
    }
    if (ok) last_ = point;
    return ok;
  }
  bool MovePointer(ScreenPoint point) override { return inner_.MovePointer(point); }

  bool counting = false;
  long reads = 0, changes = 0;

 private:
  ScreenServices& inner_;
  ScreenPoint last_{-1000000, -1000000};
};

struct Snapshot {
  double t = 0;
  long long ownTicks = 0, watchedTicks = 0;
  std::uint64_t frames = 0, buffers = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
  const int watched = argc > 3 && std::string(argv[2]) == "--watch" ? std::atoi(argv[3]) : 0;
  char* programArgs[] = {argv[0], nullptr};
  std::unique_ptr<Platform> platform = CreatePlatform(1, programArgs);
  if (!platform) return 1;
  auto* portal = dynamic_cast<portal::PortalScreen*>(&platform->ScreenServices());
  if (!portal) {
    std::fprintf(stderr, "portal_rates: the screen is not the portal's (TINTVALE_SCREEN=portal)\n");
    return 1;
  }
  CountingScreen counting(platform->ScreenServices());
  fake::FrontedPlatform bench(*platform, platform->Toolkit(), counting);
  Program program(bench);

  auto snap = [&] {
    Snapshot s;
    s.t = Now();
    s.ownTicks = CpuTicksOf(getpid());
    s.watchedTicks = watched > 0 ? CpuTicksOf(watched) : -1;
    if (portal::PipeWireCapture* capture = portal->Capture()) capture->Counts(s.frames, s.buffers);
    return s;
  };
  Snapshot start, end;
  bool live = false;
  QTimer::singleShot(static_cast<int>(kWarmUpSeconds * 1000), [&] {
    start = snap();
    live = portal->Capture() != nullptr;
    counting.counting = true;
  });
  QTimer::singleShot(static_cast<int>((kWarmUpSeconds + seconds) * 1000), [&] {
    end = snap();
    counting.counting = false;
    bench.Toolkit().Quit();
  });
  program.Start();
  const int status = bench.Toolkit().Run();

  const double span = end.t - start.t;
  if (span <= 0) return 1;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  std::printf("live %s\n", live && portal->Capture() ? "yes" : "no");
  std::printf("seconds %.2f\n", span);
  std::printf("pointer_reads_per_s %.1f\n", static_cast<double>(counting.reads) / span);
  std::printf("pointer_changes_per_s %.1f\n", static_cast<double>(counting.changes) / span);
  std::printf("buffers_per_s %.1f\n", static_cast<double>(end.buffers - start.buffers) / span);
  std::printf("frames_per_s %.1f\n", static_cast<double>(end.frames - start.frames) / span);
  std::printf("cpu_percent %.1f\n", static_cast<double>(end.ownTicks - start.ownTicks) / tick / span * 100);
  if (watched > 0 && start.watchedTicks >= 0 && end.watchedTicks >= 0) {
    std::printf("watched_cpu_percent %.1f\n",
                static_cast<double>(end.watchedTicks - start.watchedTicks) / tick / span * 100);
  }
  std::printf("exit_status %d\n", status);
  return 0;
}
