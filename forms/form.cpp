#include "forms/form.h"

#include <utility>

namespace tintvale {

Form::Form(Application& app, WindowLayout layout)
    : app_(app),
      layout_(std::move(layout)),
      knownText_(layout_.controls.size()),
      timerEnabled_(layout_.controls.size(), false) {}

Form::~Form() = default;

Platform& Form::Sys() { return app_.Sys(); }

void Form::Load(Form* owner) {
  for (std::size_t i = 0; i < layout_.controls.size(); ++i) {
    const ControlLayout& c = layout_.controls[i];
    knownText_[i] = c.kind == ControlKind::TextBox ? c.caption : Text();
    timerEnabled_[i] = c.kind == ControlKind::Timer && c.enabled;
  }
  // The controls exist before the load handler runs, and the handler may already show the window.
  native_ = Sys().Toolkit().BuildWindow(layout_, *this, owner ? owner->native_.get() : nullptr);
  app_.WindowLoaded();
  for (std::size_t i = 0; i < layout_.controls.size(); ++i) {
    if (timerEnabled_[i]) ApplyTimer(static_cast<int>(i));
  }
  OnLoad();
}

void Form::Show(Form* owner) {
  if (!native_) {
    Load(owner);
    if (!native_) return;  // the load handler unloaded the window again
  }
  native_->Show();
}

void Form::Unload() {
  if (!native_ || unloading_) return;
  unloading_ = true;
  std::int16_t cancel = 0;
  OnUnload(cancel);
  unloading_ = false;
  if (cancel != 0) return;
  // Gone at once: a handler further up the stack sees Loaded() false and must touch nothing more.
  native_.reset();
  app_.WindowUnloaded();
}

Text Form::GetText(int control) const { return native_ ? native_->GetText(control) : Text(); }

void Form::SetText(int control, const Text& text) {
  if (!native_ || knownText_[control] == text) return;
  knownText_[control] = text;
  // The backend's own notice of this set is its echo, not an edit: Change is raised here, once.
  settingText_ = true;
  native_->SetText(control, text);
  settingText_ = false;
  OnChange(control);
}

void Form::SetCaption(int control, const Text& caption) {
  if (native_) native_->SetCaption(control, caption);
}

void Form::SetBackColor(int control, ColorValue color) {
  if (native_) native_->SetBackColor(control, color);
}

int Form::CheckValue(int control) const { return native_ ? native_->CheckValue(control) : 0; }

void Form::SetFocus(int control) {
  if (native_) native_->SetFocus(control);
}

void Form::SetTimerEnabled(int control, bool enabled) {
  if (timerEnabled_[control] == enabled) return;
  timerEnabled_[control] = enabled;
  if (native_) ApplyTimer(control);
}

bool Form::TimerEnabled(int control) const { return timerEnabled_[control]; }

void Form::Announce(int control, const Text& text) {
  if (native_) native_->Announce(control, text);
}

void Form::ApplyTimer(int control) {
  const bool run = timerEnabled_[control] && HasTimerHandler(control);
  native_->SetTimer(control, run, layout_.controls[control].intervalMs);
}

void Form::KeyPress(int control, std::int16_t& keyAscii) {
  if (native_) OnKeyPress(control, keyAscii);
}

void Form::KeyDown(int control, std::int16_t& keyCode, std::int16_t shift) {
  if (native_) OnKeyDown(control, keyCode, shift);
}

void Form::TextChanged(int control) {
  if (!native_ || settingText_) return;
  // An edit by the user is a change even when it leaves the text as it was (a colour pasted over
  // itself, a character typed over the same one): only a set to the text a box holds is silent.
  knownText_[control] = native_->GetText(control);
  OnChange(control);
}

void Form::Click(int control) {
  if (native_) OnClick(control);
}

void Form::GotFocus(int control) {
  if (native_) OnGotFocus(control);
}

void Form::TimerTick(int control) {
  if (native_ && timerEnabled_[control]) OnTimer(control);
}

void Form::CloseRequested() { Unload(); }

void Application::WindowUnloaded() {
  if (--loaded_ == 0) platform_.Toolkit().Quit();
}

}  // namespace tintvale
