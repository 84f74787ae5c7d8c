// A window built by QtToolkit from a layout: its top-level widget, one Qt object per control (timers
// included) in layout order, and the tab order of the layout's tab indices.
#pragma once

#include <QPoint>
#include <QPointer>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/qt/event_sink.h"
#include "platform/qt/toolkit.h"

class QAbstractButton;

namespace tintvale::qt {

class Announcer;
class FormWidget;
class LiveReports;

class QtWindow : public NativeWindow {
 public:
  QtWindow(QtToolkit& toolkit, const WindowLayout& layout, WindowEvents& events, QtWindow* owner);
  ~QtWindow() override;

  void Show() override;
  void SetCaption(int control, const Text& caption) override;
  Text GetText(int control) const override;
  void SetText(int control, const Text& text) override;
  void SetBackColor(int control, ColorValue color) override;
  int CheckValue(int control) const override;
  void SetFocus(int control) override;
  void SetTopmost(bool onTop) override;
  void SetTimer(int control, bool enabled, int intervalMs) override;
  void Announce(int control, const Text& text) override;

  QWidget* Widget();
  QObject* Control(int control) { return controls_.at(control); }

 private:
  // A control as built: its object, and the widget that takes the focus (null for none).
  struct Built {
    QObject* object;
    QWidget* focusable;
  };
  void ShapeForm(const WindowLayout& layout);
  Built BuildControl(const ControlLayout& c, int id);
  Built BuildTimer(int id);
  Built BuildTextBox(const ControlLayout& c, int id);
  Built BuildCheckBox(const ControlLayout& c, int id);
  Built BuildCommandButton(const ControlLayout& c, int id);
  Built BuildPictureBox(const ControlLayout& c);
  Built BuildLabel(const ControlLayout& c);
  Built BuildLine(const ControlLayout& c);
  void RaiseClicks(QAbstractButton* button, int id);
  void SetTabOrder(std::vector<std::pair<int, QWidget*>> order);
  void ShapeForAssistiveTechnology(const WindowLayout& layout);

  QtToolkit& toolkit_;
  SinkPtr sink_;
  std::unique_ptr<FormWidget> form_;
  std::vector<ControlKind> kinds_;
  std::vector<QObject*> controls_;  // owned by form_
  QPoint origin_;
  bool shownOnce_ = false;
  QWidget* firstFocus_ = nullptr;  // the control with the lowest tab index
  QPointer<QWidget> owner_;        // the window this one is kept above, or null
  std::unique_ptr<LiveReports> live_;
  Announcer* announcer_ = nullptr;  // owned by form_
};

}  // namespace tintvale::qt
