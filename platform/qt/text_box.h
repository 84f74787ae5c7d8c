// A single-line text box: it raises KeyPress for each character before it handles the key, shows a set
// text's tabs as en spaces and gives the text back as it was set (to a copy too), keeps its selection
// when the focus leaves it, and draws numbers without text shaping.
#pragma once

#include <QClipboard>
#include <QLineEdit>
#include <QString>

#include "platform/qt/event_sink.h"

namespace tintvale::qt {

class LiveReports;

class TextBox : public QLineEdit {
 public:
  TextBox(QWidget* parent, SinkPtr sink, int id);

  // A set text is shown with each tab as an en space: QLineEdit expands a tab to an 80-pixel stop,
  // which would push the y of the coordinate box ("x<Tab>y") out of its 57 pixels. Read back while it
  // is still shown unedited, the box gives the text as it was set.
  void SetBoxText(const QString& text);
  QString BoxText() const;
  // Its sets are reported to assistive technology through reports, coalesced; its line edit's own text
  // events are held back (see accessibility.h).
  void MakeLive(LiveReports* reports) { reports_ = reports; }
  bool Live() const { return reports_ != nullptr; }

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  enum class Outcome { Unchanged, Changed, WindowGone };
  Outcome RaiseKeyPresses(const QString& chars, QString& replacement);
  void SetShaping(bool shaped);
  void GiveCopiedTabs(QClipboard::Mode mode);

  SinkPtr sink_;
  int id_;
  QString set_;
  QString shown_;
  bool shaped_ = true;
  bool correcting_ = false;  // inside GiveCopiedTabs' own copy
  LiveReports* reports_ = nullptr;
};

}  // namespace tintvale::qt
