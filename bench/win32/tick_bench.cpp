// Runs the real program on the real Win32 platform (under Wine here) while a thread moves the pointer at
// 100 Hz, and prints what one tick costs next to a bare GetCursorPos + GetPixel loop on a GetDC(NULL)
// measured in the same run. Only the platform seam is wrapped: each window's events go through a proxy that
// times TimerTick, and the cursor and pixel calls are stamped on their way through.
// Usage: tintvale_tick_bench [SECONDS]   (default 10, after one second of warm-up)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <thread>
#include <vector>

#include "bench/figures.h"
#include "bench/proxy_platform.h"
#include "main_window/program.h"
#include "platform/platform.h"

using namespace tintvale;
using namespace tintvale::bench;

namespace {

double Now() {
  static const double perSecond = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / perSecond;
}

// Sleep() rounds to whole milliseconds and may wake early or late; the last stretch is spun so each
// timed sample starts on its 10 ms grid like a tick does.
void SleepUntil(double t) {
  for (double left = t - Now(); left > 0.002; left = t - Now()) Sleep(static_cast<DWORD>((left - 0.001) * 1000));
  while (Now() < t) {
  }
}

class ProxyWindow final : public ForwardingWindow {
 public:
  ProxyWindow(std::unique_ptr<NativeWindow> inner, TickRecord& rec) : ForwardingWindow(std::move(inner)), rec_(rec) {}
  void SetText(int control, const Text& text) override {
    const double t0 = Now();
    inner_->SetText(control, text);
    if (rec_.current) rec_.current->textUs += (Now() - t0) * 1e6;
  }
  void SetBackColor(int control, ColorValue color) override {
    const double t0 = Now();
    inner_->SetBackColor(control, color);
    if (rec_.current) rec_.current->swatchUs += (Now() - t0) * 1e6;
  }

 private:
  TickRecord& rec_;
};

class BenchToolkit final : public ProxyToolkit {
 public:
  // The swatch and text box repaints a tick asks for run right after it rather than at the loop's next turn.
  BenchToolkit(Toolkit& inner, TickRecord& rec)
      : ProxyToolkit(inner, rec, Now, TickPaint::kPumpedAfterTick), rec_(rec) {}
  // The benchmark's own arguments are not options for the program: it runs as if started plain.
  Text CommandLine() override { return Text(); }

 private:
  std::unique_ptr<ForwardingWindow> WrapWindow(const WindowLayout&, std::unique_ptr<NativeWindow> window) override {
    return std::make_unique<ProxyWindow>(std::move(window), rec_);
  }

  TickRecord& rec_;
};

// One bare sample: what the tick has to do at the least.
double BareSample(HDC screen) {
  const double t0 = Now();
  POINT p;
  GetCursorPos(&p);
  GetPixel(screen, p.x, p.y);
  return (Now() - t0) * 1e6;
}

// Where the coordinate box's time goes: a bare EDIT in a bare window, given a new coordinate text per call
// as the tick gives it, with the font face and the separator between x and y varied. Messages (the
// repaints) are pumped between calls but only SetWindowTextW is timed.
std::vector<double> BareEditSetText(const wchar_t* face, wchar_t separator) {
  HWND top = CreateWindowExW(0, L"STATIC", L"bare edit", WS_POPUP | WS_VISIBLE, 0, 0, 200, 40, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 4, 4, 120, 22,
                              top, nullptr, GetModuleHandleW(nullptr), nullptr);
  HFONT font = face ? CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face)
                    : nullptr;
  if (font) SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  std::vector<double> us;
  MSG msg;
  for (int i = 0; i < 330; ++i) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%d%lc%d", 100 + (i * 7) % 1100, static_cast<wint_t>(separator), 700 + i % 2);
    const double t0 = Now();
    SetWindowTextW(edit, text);
    if (i >= 30) us.push_back((Now() - t0) * 1e6);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  DestroyWindow(top);
  if (font) DeleteObject(font);
  return us;
}

void Row(const char* name, const Summary& s) {
  std::printf("%-34s %10.1f %10.1f %8zu\n", name, s.median, s.p90, s.count);
}

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
  std::unique_ptr<Platform> platform = CreatePlatform(0, nullptr);
  if (!platform) return 1;

  // The pointer moves along a row low on the screen, away from the program's window, as a user's would.
  std::atomic<bool> stop{false};
  std::thread mover([&] {
    const int width = GetSystemMetrics(SM_CXSCREEN), row = GetSystemMetrics(SM_CYSCREEN) - 60;
    long step = 0;
    for (double t = Now(); !stop.load(); t += 0.01, ++step) {
      SleepUntil(t);
      SetCursorPos(static_cast<int>(40 + (step * 12) % (width - 80)), row);
    }
  });

  // The floor in the same run with the pointer moving: back to back, then on an absolute 10 ms grid where
  // each sample pays the same wake-up from sleep that a tick pays.
  std::vector<double> floorUs, floorTimerUs;
  HDC screen = GetDC(nullptr);
  for (int i = 0; i < 100; ++i) BareSample(screen);
  for (int i = 0; i < 3000; ++i) floorUs.push_back(BareSample(screen));
  for (double t = Now() + 0.01, end = t + 3; t < end; t += 0.01) {
    SleepUntil(t);
    floorTimerUs.push_back(BareSample(screen));
  }
  ReleaseDC(nullptr, screen);

  TickRecord rec;
  rec.ticks.reserve(static_cast<std::size_t>(seconds * 200 + 400));
  int status = 0;
  {
    BenchToolkit forms(platform->Toolkit(), rec);
    StampingScreen stamping(platform->ScreenServices(), rec.current, Now);
    fake::FrontedPlatform bench(*platform, forms, stamping);
    rec.WarmUpThenMeasure(Now(), seconds);
    Program program(bench);
    status = program.Run();
  }
  stop = true;
  mover.join();

  std::vector<double> tickUs, tickPaintUs, cursorUs, pixelUs, controlsUs, swatchUs, textUs, intervalMs;
  double previous = 0;
  for (const TickTimes& t : rec.ticks) {
    if (t.start >= rec.warmEnd) {
      tickUs.push_back((t.ticked - t.start) * 1e6);
      tickPaintUs.push_back((t.painted - t.start) * 1e6);
      if (t.cursor > 0) cursorUs.push_back((t.cursor - t.start) * 1e6);
      if (t.pixel > 0 && t.cursor > 0) pixelUs.push_back((t.pixel - t.cursor) * 1e6);
      if (t.pixel > 0) controlsUs.push_back((t.ticked - t.pixel) * 1e6);
      swatchUs.push_back(t.swatchUs);
      textUs.push_back(t.textUs);
      if (previous > 0) intervalMs.push_back((t.start - previous) * 1e3);
    }
    previous = t.start;
  }
  const Summary floorS = Summarise(floorUs), floorTimerS = Summarise(floorTimerUs), tickS = Summarise(tickUs),
                paintS = Summarise(tickPaintUs), intervalS = Summarise(intervalMs);
  const double span = tickUs.empty() ? 0 : rec.ticks.back().start - rec.warmEnd;

  std::printf("%-34s %10s %10s %8s\n", "figure (us)", "median", "p90", "n");
  Row("bare GetCursorPos+GetPixel", floorS);
  Row("bare, on a 10 ms grid", floorTimerS);
  Row("tick: cursor, pixel, swatch, text", tickS);
  Row("  tick start to cursor read", Summarise(cursorUs));
  Row("  GetPixel in the tick", Summarise(pixelUs));
  Row("  swatch and text after the pixel", Summarise(controlsUs));
  Row("    in SetBackColor (swatch)", Summarise(swatchUs));
  Row("    in SetText (coordinates)", Summarise(textUs));
  Row("tick with its repaint", paintS);
  std::printf("%-34s %10.2f %10.2f\n", "tick / bare (ratio)", Ratio(tickS.median, floorS.median),
              Ratio(tickS.p90, floorS.p90));
  std::printf("%-34s %10.2f %10.2f\n", "tick / bare on grid (ratio)", Ratio(tickS.median, floorTimerS.median),
              Ratio(tickS.p90, floorTimerS.p90));
  std::printf("%-34s %10.2f %10.2f\n", "tick+repaint / bare on grid", Ratio(paintS.median, floorTimerS.median),
              Ratio(paintS.p90, floorTimerS.p90));
  std::printf("%-34s %10.2f %10.2f\n", "tick interval (ms)", intervalS.median, intervalS.p90);
  Row("bare EDIT SetWindowTextW, em space", Summarise(BareEditSetText(L"Noto Sans CJK JP", L'\u2003')));
  Row("  same, tab", Summarise(BareEditSetText(L"Noto Sans CJK JP", L'\t')));
  Row("  same, plain space", Summarise(BareEditSetText(L"Noto Sans CJK JP", L' ')));
  Row("  DejaVu Sans, plain space", Summarise(BareEditSetText(L"DejaVu Sans", L' ')));
  Row("  system font, plain space", Summarise(BareEditSetText(nullptr, L' ')));
  std::printf("ticks_per_s %.1f nested_ticks %zu exit_status %d\n",
              span > 0 ? static_cast<double>(tickUs.size()) / span : 0, rec.nested, status);
  return 0;
}
