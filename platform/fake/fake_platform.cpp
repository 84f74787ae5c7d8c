#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <limits>

#include "base/utf8.h"

namespace tintvale::fake {

Text WindowState::Caption(int control) const {
  auto it = captions.find(control);
  if (it != captions.end()) return it->second;
  return control == kWindowItself ? layout.caption : layout.controls[control].caption;
}

// ---------------------------------------------------------------- windows

class FakeWindow : public NativeWindow {
 public:
  FakeWindow(std::shared_ptr<WindowState> state, FakeToolkit& toolkit) : w_(std::move(state)), toolkit_(toolkit) {}
  ~FakeWindow() override {
    w_->destroyed = true;
    w_->shown = false;
    w_->events = nullptr;
  }
  void Show() override { w_->shown = true; }
  void SetCaption(int control, const Text& caption) override { w_->captions[control] = caption; }
  Text GetText(int control) const override { return w_->texts[control]; }
  void SetText(int control, const Text& text) override {
    w_->texts[control] = text;
    // Like the native edit controls, report a change for every set, even of the same text.
    if (w_->events) w_->events->TextChanged(control);
  }
  void SetBackColor(int control, ColorValue color) override {
    if (w_->backColors[control] != color) w_->backColorSets++;
    w_->backColors[control] = color;
  }
  int CheckValue(int control) const override { return w_->checkValues[control]; }
  void SetFocus(int control) override {
    w_->focus = control;
    if (w_->events) w_->events->GotFocus(control);
  }
  void SetTopmost(bool onTop) override { w_->topmostCalls.push_back(onTop); }
  void SetTimer(int control, bool enabled, int intervalMs) override {
    w_->timerRunning[control] = enabled;
    w_->timerInterval[control] = intervalMs;
    w_->timerDue[control] = toolkit_.now_ + intervalMs;
  }
  void Announce(int control, const Text& text) override { w_->announcements.emplace_back(control, text); }

  const std::shared_ptr<WindowState>& State() const { return w_; }

 private:
  std::shared_ptr<WindowState> w_;
  FakeToolkit& toolkit_;
};

std::unique_ptr<NativeWindow> FakeToolkit::BuildWindow(const WindowLayout& layout, WindowEvents& events,
                                                       NativeWindow* owner) {
  auto w = std::make_shared<WindowState>();
  w->layout = layout;
  w->events = &events;
  if (owner) w->owner = static_cast<FakeWindow*>(owner)->State();
  const std::size_t n = layout.controls.size();
  w->texts.resize(n);
  w->backColors.assign(n, kDefaultColor);
  w->checkValues.assign(n, 0);
  w->timerRunning.assign(n, false);
  w->timerInterval.assign(n, 0);
  w->timerDue.assign(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    if (layout.controls[i].kind == ControlKind::TextBox) w->texts[i] = layout.controls[i].caption;
    w->backColors[i] = layout.controls[i].backColor;
  }
  windows_.push_back(w);
  return std::make_unique<FakeWindow>(w, *this);
}

std::shared_ptr<WindowState> FakeToolkit::Window(const std::string& name) const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if ((*it)->layout.name == name) return *it;
  }
  return nullptr;
}

int FakeToolkit::WindowsBuilt(const std::string& name) const {
  return static_cast<int>(
      std::count_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w->layout.name == name; }));
}

void FakeToolkit::RunQueue() {
  while (!queue_.empty()) {
    auto event = std::move(queue_.front());
    queue_.pop_front();
    event();
  }
}

void FakeToolkit::PumpEvents() {
  ++pumps;
  for (auto& event : duringPump_) queue_.push_back(std::move(event));
  duringPump_.clear();
  RunQueue();
}

void FakeToolkit::Advance(std::int64_t ms) {
  const std::int64_t end = now_ + ms;
  for (;;) {
    RunQueue();
    // The earliest timer due by the end, first by due time, then by window and control order.
    WindowState* next = nullptr;
    int control = -1;
    std::int64_t due = std::numeric_limits<std::int64_t>::max();
    for (auto& w : windows_) {
      if (!w->Alive()) continue;
      for (std::size_t i = 0; i < w->timerRunning.size(); ++i) {
        if (w->timerRunning[i] && w->timerDue[i] < due) {
          due = w->timerDue[i], next = w.get(), control = static_cast<int>(i);
        }
      }
    }
    if (!next || due > end) break;
    now_ = due;
    next->timerDue[control] = due + std::max(1, next->timerInterval[control]);
    next->events->TimerTick(control);
  }
  now_ = end;
}

int FakeToolkit::Run() {
  // Enough for tests that start the loop: handle what is waiting, then return as a closed program would.
  RunQueue();
  return 0;
}

bool FakeToolkit::SetClipboardText(const Text& text) {
  if (clipboardBusy) return false;
  clipboardWrites.push_back(text);
  return true;
}

// ---------------------------------------------------------------- the user

void User::Type(int control, const Text& chars) {
  for (char16_t c : chars) {
    if (!w_->Alive()) return;
    auto key = static_cast<std::int16_t>(c);
    w_->events->KeyPress(control, key);
    if (!w_->Alive() || key == 0 || key == 13) continue;  // a single-line box ignores a carriage return
    w_->texts[control].push_back(static_cast<char16_t>(key));
    w_->events->TextChanged(control);
  }
}

void User::Paste(int control, const Text& text) {
  if (!w_->Alive()) return;
  w_->texts[control] += text;
  w_->events->TextChanged(control);
}

void User::Replace(int control, const Text& text) {
  if (!w_->Alive()) return;
  w_->texts[control] = text;
  w_->events->TextChanged(control);
}

void User::Click(int control) {
  if (!w_->Alive()) return;
  if (w_->layout.controls[control].kind == ControlKind::CheckBox) {
    w_->checkValues[control] = w_->checkValues[control] == 1 ? 0 : 1;
  }
  w_->events->Click(control);
}

void User::Arrow(int control, std::int16_t keyCode, std::int16_t shift) {
  if (!w_->Alive()) return;
  w_->events->KeyDown(control, keyCode, shift);
  if (w_->Alive() && keyCode != 0) w_->boxKeys.push_back(keyCode);
}

void User::Focus(int control) {
  if (!w_->Alive()) return;
  w_->focus = control;
  w_->events->GotFocus(control);
}

void User::Close() {
  if (w_->Alive()) w_->events->CloseRequested();
}

// ---------------------------------------------------------------- screen

class FakeScreenContext : public ScreenContext {
 public:
  explicit FakeScreenContext(FakeScreen& screen) : screen_(screen) { screen_.acquired++; }
  ~FakeScreenContext() override { screen_.released++; }
  ColorValue Pixel(std::int32_t x, std::int32_t y) override { return screen_.Read(x, y); }

 private:
  FakeScreen& screen_;
};

std::unique_ptr<ScreenContext> FakeScreen::GetScreen() {
  if (refuseScreen_) return nullptr;
  return std::make_unique<FakeScreenContext>(*this);
}

bool FakeScreen::CursorPos(ScreenPoint& point) {
  point = cursor_;
  return true;
}

bool FakeScreen::MovePointer(ScreenPoint point) {
  moves.push_back(point);
  if (refuseMoves_) return false;
  cursor_ = {std::clamp(point.x, topLeft_.x, bottomRight_.x), std::clamp(point.y, topLeft_.y, bottomRight_.y)};
  return true;
}

ColorValue FakeScreen::Read(std::int32_t x, std::int32_t y) {
  pixelReads++;
  if (failReads_) return kInvalidColor;
  auto it = pixels_.find({x, y});
  return it != pixels_.end() ? it->second : background_;
}

// ---------------------------------------------------------------- registry

class FakeRegistryKey : public RegistryKey {
 public:
  FakeRegistryKey(FakeRegistry& registry, const std::map<Text, RegValue>& values)
      : registry_(registry), values_(values) {
    registry_.openKeys++;
  }
  ~FakeRegistryKey() override { registry_.openKeys--; }
  long QueryValue(const Text& valueName, std::uint32_t& type, std::uint8_t* data, std::uint32_t& size) override {
    auto it = values_.find(FakeRegistry::Upper(valueName));
    if (it == values_.end()) return kErrorFileNotFound;
    return CopyRegValue(it->second, type, data, size);
  }

 private:
  FakeRegistry& registry_;
  const std::map<Text, RegValue>& values_;
};

Text FakeRegistry::Upper(const Text& t) {
  Text u = t;
  for (char16_t& c : u) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return u;
}

long FakeRegistry::OpenKey(std::uint32_t root, const Text& keyName, std::uint32_t access,
                           std::unique_ptr<RegistryKey>& key) {
  opens.emplace_back(keyName, access);
  if (root != kHkeyLocalMachine) return kErrorFileNotFound;
  auto it = keys_.find(Upper(keyName));
  if (it == keys_.end()) return kErrorFileNotFound;
  constexpr std::uint32_t kWriteRights = 0x2 | 0x4 | 0x20 | 0x40000 | 0x80000;
  if (readOnly_.count(Upper(keyName)) && (access & kWriteRights)) return kErrorAccessDenied;
  key = std::make_unique<FakeRegistryKey>(*this, it->second);
  return kErrorSuccess;
}

Text FakeRegistry::DecodeNarrow(const std::vector<std::uint8_t>& bytes) {
  return Utf8ToText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// ---------------------------------------------------------------- processes

bool FakeProcesses::Start(const Text& path) {
  attempts.push_back(path);
  if (!programs.count(path)) return false;
  started.push_back(path);
  return true;
}

}  // namespace tintvale::fake

namespace tintvale {

std::unique_ptr<Platform> CreatePlatform(int /*argc*/, char** /*argv*/) {
  return std::make_unique<fake::FakePlatform>();
}

}  // namespace tintvale
