// The tick benchmarks' platform: every call passes through to the real platform, each window and its
// events are wrapped by the benchmark's own proxies, and the screen stamps the tick in progress when the
// program reads the cursor and a pixel. A benchmark overrides only the calls it times.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "platform/services.h"

namespace tintvale::bench {

// When the steps of one tick happened, in seconds on the benchmark's clock.
struct TickTimes {
  double start = 0, cursor = 0, pixel = 0, ticked = 0, painted = 0;
  double swatchUs = 0, textUs = 0;  // time inside the window's colour and text setters, where timed
};

class ForwardingEvents : public WindowEvents {
 public:
  explicit ForwardingEvents(WindowEvents& inner) : inner_(inner) {}
  virtual ~ForwardingEvents() = default;
  void KeyPress(int control, std::int16_t& keyAscii) override { inner_.KeyPress(control, keyAscii); }
  void TextChanged(int control) override { inner_.TextChanged(control); }
  void Click(int control) override { inner_.Click(control); }
  void GotFocus(int control) override { inner_.GotFocus(control); }
  void TimerTick(int control) override { inner_.TimerTick(control); }
  void CloseRequested() override { inner_.CloseRequested(); }

 protected:
  WindowEvents& inner_;
};

class ForwardingWindow : public NativeWindow {
 public:
  explicit ForwardingWindow(std::unique_ptr<NativeWindow> inner) : inner_(std::move(inner)) {}
  NativeWindow& Inner() { return *inner_; }
  void Show() override { inner_->Show(); }
  void SetCaption(int control, const Text& caption) override { inner_->SetCaption(control, caption); }
  Text GetText(int control) const override { return inner_->GetText(control); }
  void SetText(int control, const Text& text) override { inner_->SetText(control, text); }
  void SetBackColor(int control, ColorValue color) override { inner_->SetBackColor(control, color); }
  int CheckValue(int control) const override { return inner_->CheckValue(control); }
  void SetFocus(int control) override { inner_->SetFocus(control); }
  void SetTimer(int control, bool enabled, int intervalMs) override { inner_->SetTimer(control, enabled, intervalMs); }

 protected:
  std::unique_ptr<NativeWindow> inner_;
};

// Builds each window through the real toolkit, wrapped in the benchmark's proxies.
class ProxyToolkit : public Toolkit {
 public:
  explicit ProxyToolkit(Toolkit& inner) : inner_(inner) {}
  virtual ~ProxyToolkit() = default;
  std::unique_ptr<NativeWindow> BuildWindow(const WindowLayout& layout, WindowEvents& events) final {
    // The event proxies outlive the windows: a destroyed window may still be unwinding through one.
    events_.push_back(WrapEvents(events));
    return WrapWindow(layout, inner_.BuildWindow(layout, *events_.back()));
  }
  void PumpEvents() override { inner_.PumpEvents(); }
  int Run() override { return inner_.Run(); }
  void Quit() override { inner_.Quit(); }
  bool SetClipboardText(const Text& text) override { return inner_.SetClipboardText(text); }
  Text CommandLine() override { return inner_.CommandLine(); }

 protected:
  virtual std::unique_ptr<ForwardingEvents> WrapEvents(WindowEvents& events) = 0;
  virtual std::unique_ptr<ForwardingWindow> WrapWindow(const WindowLayout& layout,
                                                       std::unique_ptr<NativeWindow> window) = 0;
  Toolkit& inner_;

 private:
  std::vector<std::unique_ptr<ForwardingEvents>> events_;
};

// Stamps *current, the tick on the stack (null between ticks), when the program has read the cursor and
// when it has read a pixel.
class StampingScreen final : public ScreenServices {
 public:
  using Clock = double (*)();
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
  void SetTopmost(NativeWindow& window, bool onTop) override {
    inner_.SetTopmost(static_cast<ForwardingWindow&>(window).Inner(), onTop);
  }

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

// The real platform with the benchmark's toolkit and the stamping screen in front of its own.
class ProxyPlatform final : public Platform {
 public:
  ProxyPlatform(Platform& inner, Toolkit& forms, TickTimes*& current, StampingScreen::Clock now)
      : inner_(inner), forms_(forms), screen_(inner.Screen(), current, now) {}
  Toolkit& Forms() override { return forms_; }
  ScreenServices& Screen() override { return screen_; }
  Registry& Reg() override { return inner_.Reg(); }
  ProcessStarter& Processes() override { return inner_.Processes(); }
  FileTest& Files() override { return inner_.Files(); }
  MessageDialog& Messages() override { return inner_.Messages(); }

 private:
  Platform& inner_;
  Toolkit& forms_;
  StampingScreen screen_;
};

}  // namespace tintvale::bench
