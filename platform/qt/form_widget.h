// The top-level widget of a window: the close box asks the runtime, Enter and Esc press the default and
// cancel buttons, activation raises GotFocus; and FocusWatch, which raises GotFocus for its controls.
#pragma once

#include <QObject>
#include <QPushButton>
#include <map>

#include "platform/qt/event_sink.h"
#include "platform/qt/repaint_gathering.h"

namespace tintvale::qt {

class FormWidget : public GatheringWindow {
 public:
  explicit FormWidget(SinkPtr sink) : sink_(std::move(sink)) {}
  QPushButton* defaultButton = nullptr;
  QPushButton* cancelButton = nullptr;
  bool dialog = false;  // a dialog to assistive technology, else a frame

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool event(QEvent* e) override;

 private:
  SinkPtr sink_;
};

// Raises GotFocus when a watched control takes the focus (not when its window is merely activated again).
class FocusWatch : public QObject {
 public:
  FocusWatch(QObject* parent, SinkPtr sink) : QObject(parent), sink_(std::move(sink)) {}
  void Watch(QWidget* w, int id);

 protected:
  bool eventFilter(QObject* obj, QEvent* e) override;

 private:
  SinkPtr sink_;
  std::map<QObject*, int> ids_;
};

}  // namespace tintvale::qt
