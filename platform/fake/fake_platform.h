// A deterministic platform for tests: a manual clock that fires timers, a queue of waiting events for the
// pump, a scripted cursor and pixel map, and recorded clipboard, topmost, process, file and message calls.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/regfile/registry_value.h"

namespace tintvale::fake {

class FakeToolkit;

// The state of one window built by the fake toolkit; it outlives the window so tests can look afterwards.
struct WindowState {
  WindowLayout layout;
  WindowEvents* events = nullptr;  // null once the window is destroyed
  bool shown = false;
  bool destroyed = false;
  int focus = kWindowItself - 1;  // no control yet
  std::map<int, Text> captions;   // captions set at run time, kWindowItself for the title bar
  std::vector<Text> texts;
  std::vector<ColorValue> backColors;
  std::vector<int> checkValues;
  std::vector<bool> timerRunning;
  std::vector<int> timerInterval;
  std::vector<std::int64_t> timerDue;
  int backColorSets = 0;  // how often the backend was asked to change a colour to a new one
  std::vector<bool> topmostCalls;
  std::shared_ptr<WindowState> owner;               // the window it was built above, or null
  std::vector<std::pair<int, Text>> announcements;  // control and text, in order
  std::vector<std::int16_t> boxKeys;                // arrow keys that reached a text box's own handling (not swallowed)

  Text Caption(int control) const;  // the run-time caption, else the layout's
  bool Alive() const { return events != nullptr; }
};

// The user's side of a window: what typing, clicking and closing do in a real toolkit.
class User {
 public:
  explicit User(std::shared_ptr<WindowState> w) : w_(std::move(w)) {}
  // Each character as a key press; the box then takes it unless the handler swallowed it or it is 13.
  void Type(int control, const Text& chars);
  void Paste(int control, const Text& text);    // one change for the whole text, at the end
  void Replace(int control, const Text& text);  // select all and paste
  void Click(int control);                      // check boxes toggle 0/1 first
  // An arrow key (37..40) with the Shift (1), Ctrl (2), Alt (4) mask; the box takes it unless swallowed.
  void Arrow(int control, std::int16_t keyCode, std::int16_t shift);
  void Focus(int control);  // the control (or kWindowItself) takes the focus
  void Close();             // the close box
 private:
  std::shared_ptr<WindowState> w_;
};

class FakeScreen : public ScreenServices {
 public:
  std::unique_ptr<ScreenContext> GetScreen() override;
  bool CursorPos(ScreenPoint& point) override;
  bool MovePointer(ScreenPoint point) override;

  void MoveCursor(std::int32_t x, std::int32_t y) { cursor_ = {x, y}; }
  void Paint(std::int32_t x, std::int32_t y, ColorValue c) { pixels_[{x, y}] = c; }
  void PaintAll(ColorValue c) { background_ = c, pixels_.clear(); }
  void FailReads(bool fail) { failReads_ = fail; }
  void RefuseScreen(bool refuse) { refuseScreen_ = refuse; }
  // As on Wayland, where a client cannot move the pointer.
  void RefuseMoves(bool refuse) { refuseMoves_ = refuse; }
  // The screen's size: like an X server, a move past an edge stops at the edge.
  void Bounds(ScreenPoint topLeft, ScreenPoint bottomRight) { topLeft_ = topLeft, bottomRight_ = bottomRight; }

  int acquired = 0;
  int released = 0;
  int pixelReads = 0;
  std::vector<ScreenPoint> moves;  // where the pointer was asked to go, also when refused

 private:
  friend class FakeScreenContext;
  ColorValue Read(std::int32_t x, std::int32_t y);
  ScreenPoint cursor_;
  std::map<std::pair<std::int32_t, std::int32_t>, ColorValue> pixels_;
  ColorValue background_ = 0;
  bool failReads_ = false;
  bool refuseScreen_ = false;
  bool refuseMoves_ = false;
  ScreenPoint topLeft_{-32768, -32768};
  ScreenPoint bottomRight_{32767, 32767};
};

class FakeToolkit : public Toolkit {
 public:
  std::unique_ptr<NativeWindow> BuildWindow(const WindowLayout& layout, WindowEvents& events,
                                            NativeWindow* owner) override;
  void PumpEvents() override;
  int Run() override;
  void Quit() override { quitRequests++; }
  bool SetClipboardText(const Text& text) override;
  Text CommandLine() override { return commandLine; }

  // Time passes: every timer that falls due fires from the event loop, in order.
  void Advance(std::int64_t ms);
  // An input event that is waiting; the next pump (or Advance) handles it.
  void Post(std::function<void()> event) { queue_.push_back(std::move(event)); }
  // An input event that arrives while the next timer tick is running: only that tick's pump sees it.
  void PostDuringNextPump(std::function<void()> event) { duringPump_.push_back(std::move(event)); }
  std::size_t Waiting() const { return queue_.size(); }
  std::int64_t Now() const { return now_; }

  // The newest window built from the layout with this name (null when none was built).
  std::shared_ptr<WindowState> Window(const std::string& name) const;
  User UserOf(const std::string& name) const { return User(Window(name)); }
  int WindowsBuilt(const std::string& name) const;

  Text commandLine;
  std::vector<Text> clipboardWrites;
  bool clipboardBusy = false;
  int quitRequests = 0;
  int pumps = 0;

 private:
  friend class FakeWindow;
  void RunQueue();
  std::int64_t now_ = 0;
  std::deque<std::function<void()>> queue_;
  std::vector<std::function<void()>> duringPump_;
  std::vector<std::shared_ptr<WindowState>> windows_;
};

class FakeRegistry : public Registry {
 public:
  long OpenKey(std::uint32_t root, const Text& keyName, std::uint32_t access,
               std::unique_ptr<RegistryKey>& key) override;
  Text DecodeNarrow(const std::vector<std::uint8_t>& bytes) override;

  void Set(const Text& key, const Text& value, RegValue v) { keys_[Upper(key)][Upper(value)] = std::move(v); }
  void AddKey(const Text& key) { keys_[Upper(key)]; }
  // The key opens for reading only: asking for any right to write is refused.
  void ReadOnly(const Text& key) { readOnly_.insert(Upper(key)); }

  std::vector<std::pair<Text, std::uint32_t>> opens;  // key and access of every open asked for
  int openKeys = 0;                                   // opened and not yet closed

 private:
  friend class FakeRegistryKey;
  static Text Upper(const Text& t);
  std::map<Text, std::map<Text, RegValue>> keys_;
  std::set<Text> readOnly_;
};

class FakeProcesses : public ProcessStarter {
 public:
  bool Start(const Text& path) override;
  std::set<Text> programs;  // paths that start
  std::vector<Text> started;
  std::vector<Text> attempts;
};

class FakeFiles : public FileTest {
 public:
  bool NormalFileExists(const Text& path) override { return normalFiles.count(path) != 0; }
  std::set<Text> normalFiles;
};

class FakeMessages : public MessageDialog {
 public:
  void Show(const Text& message, const Text& title) override { shown.emplace_back(message, title); }
  std::vector<std::pair<Text, Text>> shown;
};

class FakePlatform : public Platform {
 public:
  tintvale::Toolkit& Toolkit() override { return toolkit; }
  tintvale::ScreenServices& ScreenServices() override { return screen; }
  tintvale::Registry& Registry() override { return registry; }
  tintvale::ProcessStarter& ProcessStarter() override { return processes; }
  tintvale::FileTest& FileTest() override { return files; }
  tintvale::MessageDialog& MessageDialog() override { return messages; }

  FakeToolkit toolkit;
  FakeScreen screen;
  FakeRegistry registry;
  FakeProcesses processes;
  FakeFiles files;
  FakeMessages messages;
};

}  // namespace tintvale::fake
