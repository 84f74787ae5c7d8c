// The tick benchmarks' proxies, put in front of the real platform (platform/fake/fronted_platform.h):
// each timer tick is timed into a TickRecord, the screen stamps the tick in progress when the program
// reads the cursor and a pixel, and each window is wrapped in the benchmark's own proxy, which overrides
// only the calls it times.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "platform/fake/fronted_platform.h"
#include "platform/platform.h"

namespace tintvale::bench {

using Clock = double (*)();  // the benchmark's clock, in seconds

// When the steps of one tick happened, in seconds on the benchmark's clock.
struct TickTimes {
  double start = 0, cursor = 0, pixel = 0, ticked = 0, painted = 0;
  double swatchUs = 0, textUs = 0;  // time inside the window's colour and text setters, where timed
};

// What the proxies record over a run.
struct TickRecord {
  double warmEnd = 0;  // ticks that start before it are the warm-up
  double end = 0;      // the first tick that starts after it quits the toolkit
  std::vector<TickTimes> ticks;
  TickTimes* current = nullptr;     // the tick on the stack, for the screen calls it makes
  std::atomic<double> lastTick{0};  // when the latest tick started, for a pointer mover keyed to the ticks
  int depth = 0;                    // a tick that pumps messages can run another tick inside it:
  std::size_t nested = 0;           // that one is counted here, its time is inside the outer tick's

  // One second of warm-up from now, then `seconds` measured.
  void WarmUpThenMeasure(double now, double seconds) {
    warmEnd = now + 1;
    end = warmEnd + seconds;
  }
};

// How a tick's repaint is timed: the window stamps `painted` itself when it has painted (it starts as
// `ticked`), or the proxy pumps the window's waiting events right after the handler and stamps the end.
enum class TickPaint { kStampedByWindow, kPumpedAfterTick };

// Passes every event on; times each timer tick into the record.
class TimingEvents final : public WindowEvents {
 public:
  TimingEvents(WindowEvents& inner, Toolkit& toolkit, TickRecord& rec, Clock now, TickPaint paint)
      : inner_(inner), toolkit_(toolkit), rec_(rec), now_(now), paint_(paint) {}
  void KeyPress(int control, std::int16_t& keyAscii) override { inner_.KeyPress(control, keyAscii); }
  void KeyDown(int control, std::int16_t& keyCode, std::int16_t shift) override {
    inner_.KeyDown(control, keyCode, shift);
  }
  void TextChanged(int control) override { inner_.TextChanged(control); }
  void Click(int control) override { inner_.Click(control); }
  void GotFocus(int control) override { inner_.GotFocus(control); }
  void CloseRequested() override { inner_.CloseRequested(); }
  void TimerTick(int control) override {
    if (rec_.depth > 0) {
      ++rec_.nested;
      inner_.TimerTick(control);
      return;
    }
    ++rec_.depth;
    TickTimes t;
    t.start = now_();
    rec_.lastTick = t.start;
    rec_.current = &t;
    inner_.TimerTick(control);
    t.ticked = now_();
    t.painted = t.ticked;
    if (paint_ == TickPaint::kPumpedAfterTick) {
      toolkit_.PumpEvents();
      t.painted = now_();
    }
    rec_.current = nullptr;
    --rec_.depth;
    rec_.ticks.push_back(t);
    if (t.start > rec_.end) toolkit_.Quit();
  }

 private:
  WindowEvents& inner_;
  Toolkit& toolkit_;
  TickRecord& rec_;
  Clock now_;
  TickPaint paint_;
};

class ForwardingWindow : public NativeWindow {
 public:
  explicit ForwardingWindow(std::unique_ptr<NativeWindow> inner) : inner_(std::move(inner)) {}
  void Show() override { inner_->Show(); }
  void SetCaption(int control, const Text& caption) override { inner_->SetCaption(control, caption); }
  Text GetText(int control) const override { return inner_->GetText(control); }
  void SetText(int control, const Text& text) override { inner_->SetText(control, text); }
  void SetBackColor(int control, ColorValue color) override { inner_->SetBackColor(control, color); }
  int CheckValue(int control) const override { return inner_->CheckValue(control); }
  void SetFocus(int control) override { inner_->SetFocus(control); }
  void SetTopmost(bool onTop) override { inner_->SetTopmost(onTop); }
  void SetTimer(int control, bool enabled, int intervalMs) override { inner_->SetTimer(control, enabled, intervalMs); }
  void Announce(int control, const Text& text) override { inner_->Announce(control, text); }
  NativeWindow* Inner() { return inner_.get(); }

 protected:
  std::unique_ptr<NativeWindow> inner_;
};

// Builds each window through the real toolkit, its events timed and the window in the benchmark's proxy.
class ProxyToolkit : public Toolkit {
 public:
  ProxyToolkit(Toolkit& inner, TickRecord& rec, Clock now, TickPaint paint)
      : inner_(inner), rec_(rec), now_(now), paint_(paint) {}
  virtual ~ProxyToolkit() = default;
  std::unique_ptr<NativeWindow> BuildWindow(const WindowLayout& layout, WindowEvents& events,
                                            NativeWindow* owner) final {
    // The event proxies outlive the windows: a destroyed window may still be unwinding through one.
    events_.push_back(std::make_unique<TimingEvents>(events, inner_, rec_, now_, paint_));
    NativeWindow* innerOwner = owner ? static_cast<ForwardingWindow*>(owner)->Inner() : nullptr;
    return WrapWindow(layout, inner_.BuildWindow(layout, *events_.back(), innerOwner));
  }
  void PumpEvents() override { inner_.PumpEvents(); }
  int Run() override { return inner_.Run(); }
  void Quit() override { inner_.Quit(); }
  bool SetClipboardText(const Text& text) override { return inner_.SetClipboardText(text); }
  Text CommandLine() override { return inner_.CommandLine(); }

 protected:
  virtual std::unique_ptr<ForwardingWindow> WrapWindow(const WindowLayout& layout,
                                                       std::unique_ptr<NativeWindow> window) = 0;

 private:
  Toolkit& inner_;
  TickRecord& rec_;
  Clock now_;
  TickPaint paint_;
  std::vector<std::unique_ptr<TimingEvents>> events_;
};

// Stamps *current, the tick on the stack (null between ticks), when the program has read the cursor and
// when it has read a pixel.
class StampingScreen final : public ScreenServices {
 public:
  StampingScreen(ScreenServices& inner, TickTimes*& current, Clock now) : inner_(inner), current_(current), now_(now) {}
  std::unique_ptr<ScreenContext> GetScreen() override {
    auto screen = inner_.GetScreen();
    if (!screen) return screen;
    return std::make_unique<Context>(std::move(screen), *this);
  }
  bool CursorPos(ScreenPoint& point) override {
    bool ok = inner_.CursorPos(point);
    if (current_) current_->cursor = now_();
    return ok;
  }
  bool MovePointer(ScreenPoint point) override { return inner_.MovePointer(point); }

 private:
  class Context final : public ScreenContext {
   public:
    Context(std::unique_ptr<ScreenContext> inner, StampingScreen& screen) : inner_(std::move(inner)), screen_(screen) {}
    ColorValue Pixel(std::int32_t x, std::int32_t y) override {
      ColorValue c = inner_->Pixel(x, y);
      if (screen_.current_) screen_.current_->pixel = screen_.now_();
      return c;
    }

   private:
    std::unique_ptr<ScreenContext> inner_;
    StampingScreen& screen_;
  };

  ScreenServices& inner_;
  TickTimes*& current_;
  Clock now_;
};

}  // namespace tintvale::bench
