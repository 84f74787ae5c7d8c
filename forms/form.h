// A window class of the program with the forms toolkit's rules, kept once for every backend: one instance
// per class, load builds the window from its layout before the load handler, unload keeps the instance,
// a set text raises Change before the setter returns and never when the text is unchanged, and every
// edit by the user raises it, also one that leaves the text as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "forms/layout.h"
#include "platform/platform.h"

namespace tintvale {

class Application;

class Form : private WindowEvents {
 public:
  Form(Application& app, WindowLayout layout);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Shows the window without blocking; loads it first when it is not loaded. A window loaded by a Show
  // with an owner is kept above that window (the owner is fixed when the window is built).
  void Show(Form* owner = nullptr);
  // Runs the unload handler and destroys the window; the instance stays for a later Show.
  void Unload();
  bool Loaded() const { return native_ != nullptr; }

 protected:
  Application& App() { return app_; }
  Platform& Sys();
  NativeWindow* Native() { return native_.get(); }

  // Control properties. On a window that is not loaded they read as empty and write nothing.
  Text GetText(int control) const;
  void SetText(int control, const Text& text);
  void SetCaption(int control, const Text& caption);
  void SetBackColor(int control, ColorValue color);
  int CheckValue(int control) const;
  void SetFocus(int control);
  void SetTimerEnabled(int control, bool enabled);
  bool TimerEnabled(int control) const;
  // A screen reader, if one runs, says text once as news from this control.
  void Announce(int control, const Text& text);

  // Handlers; the window class overrides those it has.
  virtual void OnLoad() = 0;
  virtual void OnUnload(std::int16_t& cancel) = 0;
  virtual void OnKeyPress(int control, std::int16_t& keyAscii) = 0;
  // An arrow key (37..40) in a text box, with the Shift (1), Ctrl (2) and Alt (4) mask; 0 swallows it.
  virtual void OnKeyDown(int control, std::int16_t& keyCode, std::int16_t shift) = 0;
  virtual void OnChange(int control) = 0;
  virtual void OnClick(int control) = 0;
  virtual void OnGotFocus(int control) = 0;
  virtual void OnTimer(int control) = 0;
  // Whether the class has a tick handler for this timer; a timer without one never wakes the process.
  virtual bool HasTimerHandler(int control) const = 0;

 private:
  void Load(Form* owner);
  void KeyPress(int control, std::int16_t& keyAscii) override;
  void KeyDown(int control, std::int16_t& keyCode, std::int16_t shift) override;
  void TextChanged(int control) override;
  void Click(int control) override;
  void GotFocus(int control) override;
  void TimerTick(int control) override;
  void CloseRequested() override;
  void ApplyTimer(int control);

  Application& app_;
  WindowLayout layout_;
  std::unique_ptr<NativeWindow> native_;
  std::vector<Text> knownText_;     // last text of each text box that Change has been raised for
  bool settingText_ = false;        // inside SetText's native set: a text notice is its echo
  std::vector<bool> timerEnabled_;  // the Enabled property of each timer
  bool unloading_ = false;
};

// The toolkit's application: counts loaded windows and ends the event loop when none is left.
class Application {
 public:
  explicit Application(Platform& platform) : platform_(platform) {}
  Platform& Sys() { return platform_; }
  // Lets every waiting window event be handled, then returns.
  void DoEvents() { platform_.Toolkit().PumpEvents(); }
  void WindowLoaded() { ++loaded_; }
  void WindowUnloaded();
  int LoadedWindows() const { return loaded_; }

 private:
  Platform& platform_;
  int loaded_ = 0;
};

}  // namespace tintvale
