// What the screen sources tell the user while the program runs, as a message box titled "Tintvale" with
// an OK button. Not modal: the main window goes on sampling and its close box still ends the program. A
// new notice replaces one still on the screen.
#pragma once

#include <QPointer>

#include "base/text.h"

class QMessageBox;

namespace tintvale::qt {

class NoticeBox {
 public:
  NoticeBox() = default;
  ~NoticeBox();
  NoticeBox(const NoticeBox&) = delete;
  NoticeBox& operator=(const NoticeBox&) = delete;

  void Show(const Text& message);

 private:
  QPointer<QMessageBox> box_;
};

}  // namespace tintvale::qt
