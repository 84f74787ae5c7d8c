// What screen readers get through Qt's accessibility (AT-SPI on Linux): windows as frames and dialogs,
// picture boxes as graphics (the swatch named by its colour), text boxes with their text as set (tabs, not
// the en spaces they show), a window's live changes coalesced, and announcements. Nothing of it runs while
// no assistive technology does (QAccessible::isActive() is false).
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace tintvale::qt {

class PictureBox;
class TextBox;

// Installs the interfaces for Tintvale's widgets and the filter that keeps a live text box's own text
// events from assistive technology; once, before the first window is built.
void InstallAccessibility();

// A window's live changes, reported together at most every kInterval and only after a live text box
// changed (the pointer moved): a colour that changes under a still pointer is read on demand, not pushed.
class LiveReports {
 public:
  static constexpr int kIntervalMs = 250;
  explicit LiveReports(QObject* parent);
  // The box's text was set; before is what it held. Called only while assistive technology runs.
  void TextSet(TextBox* box, const QString& before);
  void NameChanged(QWidget* picture);

 private:
  void Flush();
  struct PendingText {
    QPointer<TextBox> box;
    QString reported;  // what assistive technology was last told the box holds
  };
  QTimer timer_;
  std::vector<PendingText> texts_;
  std::vector<QPointer<QWidget>> names_;
};

// A window's notification: shown with a text, it is what Orca and other AT-SPI screen readers speak at
// once ("notification" and the text), wherever the focus is; Qt 6.4 has no announcement event.
class Announcer : public QWidget {
 public:
  explicit Announcer(QWidget* window);
  void Say(const QString& text);
  QString Text() const { return text_; }

 private:
  QString text_;
};

}  // namespace tintvale::qt
