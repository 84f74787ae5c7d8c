// The forms toolkit on Qt 6 Widgets: windows built from layouts (twips / 15 = Qt logical pixels), their
// events, timers, the event loop and the clipboard. A destroyed window is hidden and silenced at once and
// deleted only when no handler is on the stack.
#pragma once

#include <QIcon>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace tintvale::qt {

class QtToolkit : public Toolkit {
 public:
  // arguments: the program's arguments after its name, as given, Qt's own options included.
  explicit QtToolkit(QStringList arguments);
  ~QtToolkit();

  std::unique_ptr<NativeWindow> BuildWindow(const WindowLayout& layout, WindowEvents& events,
                                            NativeWindow* owner) override;
  void PumpEvents() override;
  int Run() override;
  void Quit() override;
  bool SetClipboardText(const Text& text) override;
  Text CommandLine() override;

  // Runs a call into a window's handlers; windows destroyed meanwhile are deleted once the outermost
  // call has returned to the event loop.
  template <typename F>
  void Dispatch(F&& call) {
    ++depth_;
    call();
    if (--depth_ == 0 && !retired_.empty()) sweep_.start();
  }
  void Retire(std::unique_ptr<QWidget> window);

 private:
  void Sweep();
  QStringList arguments_;
  int depth_ = 0;
  bool quitRequested_ = false;
  std::vector<std::unique_ptr<QWidget>> retired_;
  QTimer sweep_;
};

// The top-level widget of a window built by QtToolkit, and the widget (or QTimer's parent) of a control.
QWidget* WindowWidget(NativeWindow& window);
QObject* ControlObject(NativeWindow& window, int control);

// The program icon as a Qt icon.
QIcon ProgramQIcon();

}  // namespace tintvale::qt
