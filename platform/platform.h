// The one seam between Tintvale and a platform: the forms toolkit, the screen and window services, the
// registry, process start, file test and message box. Each backend implements these and defines
// CreatePlatform once; the rules the windows rely on are kept in forms/form.h, not in the backends.
// (No name here collides with a Win32 A/W macro such as CreateWindow or MessageBox.)
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "forms/layout.h"

namespace tintvale {

inline constexpr int kWindowItself = -1;  // control id that stands for the window in GotFocus

// What a native window reports. The backend calls these on the user-interface thread.
class WindowEvents {
 public:
  // A character key typed into a text box, before the box handles it. Set keyAscii to 0 to swallow it.
  virtual void KeyPress(int control, std::int16_t& keyAscii) = 0;
  // An arrow key went down in a text box, before the box handles it: keyCode 37 left, 38 up, 39 right,
  // 40 down; shift holds 1 for Shift, 2 for Ctrl and 4 for Alt. Set keyCode to 0 to swallow the key.
  // Raised for these four keys only; they type no character, so no KeyPress follows.
  virtual void KeyDown(int control, std::int16_t& keyCode, std::int16_t shift) = 0;
  // The user typed, deleted or pasted in a text box, also when the text came out the same. A notice
  // that comes while SetText runs is taken as that set's echo.
  virtual void TextChanged(int control) = 0;
  virtual void Click(int control) = 0;
  virtual void GotFocus(int control) = 0;
  virtual void TimerTick(int control) = 0;
  // The user asked to close the window (its close box).
  virtual void CloseRequested() = 0;

 protected:
  ~WindowEvents() = default;
};

// A window built from a layout, hidden until Show. Destroying it closes the window at once and stops its
// events; the backend must make that safe while one of this window's own handlers is on the stack.
class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  virtual void Show() = 0;  // visible at once, not modal; above its owner when it has one
  virtual void SetCaption(int control, const Text& caption) = 0;  // kWindowItself: the title bar
  virtual Text GetText(int control) const = 0;
  virtual void SetText(int control, const Text& text) = 0;
  virtual void SetBackColor(int control, ColorValue color) = 0;
  virtual int CheckValue(int control) const = 0;  // 0 unchecked, 1 checked, 2 greyed
  virtual void SetFocus(int control) = 0;
  // Above all windows that are not topmost, or back among them; keeps place and size, stays shown.
  virtual void SetTopmost(bool onTop) = 0;
  // Enabling starts a fresh interval; ticks come from the event loop only.
  virtual void SetTimer(int control, bool enabled, int intervalMs) = 0;
  // A screen reader, when one runs, says text once as news from this control (a capture), without
  // moving the focus. Nothing is done when no assistive technology runs.
  virtual void Announce(int control, const Text& text) = 0;
};

class Toolkit {
 public:
  // owner: null for a window of its own; else a window of this toolkit that outlives the new one. An
  // owned window is kept above its owner (a transient dialog on X11, an owned window on Windows) without
  // blocking it, keeps the taskbar button its layout asks for, and hands the activation back to its
  // owner when it is destroyed while active.
  virtual std::unique_ptr<NativeWindow> BuildWindow(const WindowLayout& layout, WindowEvents& events,
                                                    NativeWindow* owner) = 0;
  // Handles every window event that is already waiting, then returns.
  virtual void PumpEvents() = 0;
  virtual int Run() = 0;  // the event loop; returns the exit status after Quit
  virtual void Quit() = 0;
  // Replaces every format on the clipboard with a plain text. False when it stayed busy.
  virtual bool SetClipboardText(const Text& text) = 0;
  // The command-line argument text: what follows the program's own name.
  virtual Text CommandLine() = 0;

 protected:
  ~Toolkit() = default;
};

struct ScreenPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// A device context for the whole screen, given back when destroyed.
class ScreenContext {
 public:
  virtual ~ScreenContext() = default;
  // The colour at a point in physical screen pixels (as CursorPos gives them), or kInvalidColor when it
  // cannot be read.
  virtual ColorValue Pixel(std::int32_t x, std::int32_t y) = 0;
};

class ScreenServices {
 public:
  virtual std::unique_ptr<ScreenContext> GetScreen() = 0;  // null when the screen cannot be had
  // The cursor position in physical screen pixels from the top left of the primary monitor, so monitors
  // left of or above it give negative coordinates; false when it cannot be read.
  virtual bool CursorPos(ScreenPoint& point) = 0;
  // Moves the pointer to a point in the coordinates CursorPos gives (the system keeps it on the screen);
  // false where a client cannot move the pointer (Wayland) or the move failed.
  virtual bool MovePointer(ScreenPoint point) = 0;

 protected:
  ~ScreenServices() = default;
};

// The registry's numbers, as Windows has them: the root key, the access right, the value types a store
// answers with, and the results.
inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kKeyRead = 0x20019u;
inline constexpr std::uint32_t kRegSz = 1;        // text in the narrow code page, with its terminating zero
inline constexpr std::uint32_t kRegExpandSz = 2;  // the same, holding %variables%
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;    // 32 bits, least significant byte first
inline constexpr std::uint32_t kRegMultiSz = 7;  // texts, each with its terminating zero, and one more zero
inline constexpr std::uint32_t kRegQword = 11;
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorMoreData = 234;

// An open registry key, closed when destroyed.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // Reads a value into data (capacity in size); sets type and size (bytes, terminator included).
  // Data longer than the capacity gives kErrorMoreData and leaves data untouched.
  virtual long QueryValue(const Text& valueName, std::uint32_t& type, std::uint8_t* data, std::uint32_t& size) = 0;
};

class Registry {
 public:
  // Names are converted to the system's narrow code page by the backend.
  virtual long OpenKey(std::uint32_t root, const Text& keyName, std::uint32_t access,
                       std::unique_ptr<RegistryKey>& key) = 0;
  // Text from bytes in the system's narrow code page.
  virtual Text DecodeNarrow(const std::vector<std::uint8_t>& bytes) = 0;

 protected:
  ~Registry() = default;
};

class ProcessStarter {
 public:
  // Starts exactly the program file named by path, no shell and no splitting, normal window with the focus.
  // Does not wait. False when it could not be started.
  virtual bool Start(const Text& path) = 0;

 protected:
  ~ProcessStarter() = default;
};

class FileTest {
 public:
  // True when a normal file (not hidden, not system, not a folder) exists at path.
  virtual bool NormalFileExists(const Text& path) = 0;

 protected:
  ~FileTest() = default;
};

class MessageDialog {
 public:
  // Modal, OK button only, no icon; returns when the user closes it.
  virtual void Show(const Text& message, const Text& title) = 0;

 protected:
  ~MessageDialog() = default;
};

// The services of one platform. Each accessor is named for the type it returns; in a class derived from
// Platform those names stand for the accessors, so the types are spelt tintvale::Toolkit and so on there.
class Platform {
 public:
  virtual ~Platform() = default;
  virtual tintvale::Toolkit& Toolkit() = 0;
  virtual tintvale::ScreenServices& ScreenServices() = 0;
  virtual tintvale::Registry& Registry() = 0;
  virtual tintvale::ProcessStarter& ProcessStarter() = 0;
  virtual tintvale::FileTest& FileTest() = 0;
  virtual tintvale::MessageDialog& MessageDialog() = 0;
};

// Defined once by each backend. Null when the platform cannot start; the backend has said why on stderr.
std::unique_ptr<Platform> CreatePlatform(int argc, char** argv);

}  // namespace tintvale
