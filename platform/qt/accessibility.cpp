#include "platform/qt/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

#include "platform/qt/conversions.h"
#include "platform/qt/form_widget.h"
#include "platform/qt/picture_box.h"
#include "platform/qt/text_box.h"

namespace tintvale::qt {
namespace {

// A window: a frame, or a dialog for the About box; named by its title (QAccessibleWidget's default).
class FormAccessible : public QAccessibleWidget {
 public:
  explicit FormAccessible(FormWidget* w)
      : QAccessibleWidget(w, w->dialog ? QAccessible::Dialog : QAccessible::Window) {}
};

// A picture box is a graphic: no action, and a name that says its colour for the swatch.
class PictureAccessible : public QAccessibleWidget {
 public:
  explicit PictureAccessible(PictureBox* w) : QAccessibleWidget(w, QAccessible::Graphic) {}
  QString text(QAccessible::Text t) const override {
    auto* picture = static_cast<PictureBox*>(widget());
    if (t == QAccessible::Name && picture->NamedByColor() && picture->Color() <= 0xFFFFFFu) {
      return ToQString(ColorName(picture->Color()));
    }
    return QAccessibleWidget::text(t);
  }
};

// A text box's text as the program set it: Qt's own line edit interface gives what the box shows, with
// an en space where the coordinates hold a tab. Offsets are the same in both (one character each).
class TextBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit TextBoxAccessible(TextBox* w) : QAccessibleWidget(w, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = !Box()->isReadOnly();
    s.selectableText = true;
    return s;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return Box()->BoxText();
    return QAccessibleWidget::text(t);  // the name: the layout's, else the label that names the box
  }

  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index == 0 && Box()->hasSelectedText()) {
      *start = Box()->selectionStart();
      *end = *start + Box()->selectionLength();
    }
  }
  int selectionCount() const override { return Box()->hasSelectedText() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int index) override {
    if (index == 0) Box()->deselect();
  }
  void setSelection(int index, int start, int end) override {
    if (index == 0) Box()->setSelection(start, end - start);
  }
  int cursorPosition() const override { return Box()->cursorPosition(); }
  void setCursorPosition(int position) override { Box()->setCursorPosition(position); }
  QString text(int start, int end) const override {
    const QString all = Box()->BoxText();
    start = std::clamp(start, 0, static_cast<int>(all.size()));
    end = end < 0 ? static_cast<int>(all.size()) : std::clamp(end, start, static_cast<int>(all.size()));
    return all.mid(start, end - start);
  }
  int characterCount() const override { return static_cast<int>(Box()->BoxText().size()); }
  QRect characterRect(int offset) const override {
    // From the font and the shown text (the line edit's own scroll offset is not public; the boxes'
    // texts fit, so it is 0).
    const TextBox* box = Box();
    const QString shown = box->text();
    if (offset < 0 || offset >= shown.size()) return QRect();
    QStyleOptionFrame option;
    option.initFrom(box);
    const QRect contents =
        box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box).marginsRemoved(box->textMargins());
    const QFontMetrics fm(box->font());
    const int x = contents.left() + 2 + fm.horizontalAdvance(shown.left(offset));
    const QRect r(x, contents.top() + (contents.height() - fm.height()) / 2, fm.horizontalAdvance(shown.at(offset)),
                  fm.height());
    return QRect(box->mapToGlobal(r.topLeft()), r.size());
  }
  int offsetAtPoint(const QPoint& point) const override {
    const TextBox* box = Box();
    return const_cast<TextBox*>(box)->cursorPositionAt(box->mapFromGlobal(point));
  }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return QString();
  }

 private:
  TextBox* Box() const { return static_cast<TextBox*>(widget()); }
};

class AnnouncerAccessible : public QAccessibleWidget {
 public:
  explicit AnnouncerAccessible(Announcer* w) : QAccessibleWidget(w, QAccessible::Notification) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return static_cast<Announcer*>(widget())->Text();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* Interfaces(const QString& /*key*/, QObject* object) {
  // Called for each class name up the object's meta-object chain; Tintvale's widgets are told by type.
  if (auto* form = dynamic_cast<FormWidget*>(object)) return new FormAccessible(form);
  if (auto* picture = dynamic_cast<PictureBox*>(object)) return new PictureAccessible(picture);
  if (auto* box = dynamic_cast<TextBox*>(object)) return new TextBoxAccessible(box);
  if (auto* announcer = dynamic_cast<Announcer*>(object)) return new AnnouncerAccessible(announcer);
  return nullptr;
}

bool g_ownEvent = false;  // an event of LiveReports on its way through the filter

bool TextEvent(QAccessible::Event type) {
  switch (type) {
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
    case QAccessible::TextCaretMoved:
    case QAccessible::TextSelectionChanged:
    case QAccessible::ValueChanged: return true;
    default: return false;
  }
}

void Forward(QAccessibleEvent* event);

// Qt calls it for every accessibility event, and only while assistive technology runs.
void Filter(QAccessibleEvent* event) {
  // A live text box's line edit reports each set text with its shown characters, four events each time,
  // up to 100 times a second: LiveReports reports it instead.
  auto* box = dynamic_cast<TextBox*>(event->object());
  if (box && box->Live() && !g_ownEvent && TextEvent(event->type())) return;
  Forward(event);
}

void Forward(QAccessibleEvent* event) {
  // Qt gives an event to the platform's bridge (AT-SPI) only while no update handler is installed:
  // take this one out for the call.
  QAccessible::installUpdateHandler(nullptr);
  QAccessible::updateAccessibility(event);
  QAccessible::installUpdateHandler(&Filter);
}

void Report(QAccessibleEvent& event) {
  g_ownEvent = true;
  QAccessible::updateAccessibility(&event);
  g_ownEvent = false;
}

}  // namespace

void InstallAccessibility() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(&Interfaces);
  QAccessible::installUpdateHandler(&Filter);
}

LiveReports::LiveReports(QObject* parent) : timer_(parent) {
  timer_.setSingleShot(true);
  timer_.setInterval(kIntervalMs);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Flush(); });
}

void LiveReports::TextSet(TextBox* box, const QString& before) {
  auto it = std::find_if(texts_.begin(), texts_.end(), [box](const PendingText& t) { return t.box == box; });
  if (it == texts_.end()) texts_.push_back({box, before});
  // The first change after a quiet spell waits a whole interval too, so a moving pointer is reported
  // a few times a second whatever its speed.
  if (!timer_.isActive()) timer_.start();
}

void LiveReports::NameChanged(QWidget* picture) {
  if (std::find(names_.begin(), names_.end(), picture) == names_.end()) names_.emplace_back(picture);
}

void LiveReports::Flush() {
  if (!QAccessible::isActive()) {
    texts_.clear();
    names_.clear();
    return;
  }
  for (const PendingText& t : texts_) {
    if (!t.box) continue;
    const QString now = t.box->BoxText();
    if (now == t.reported) continue;
    QAccessibleTextUpdateEvent event(t.box, 0, t.reported, now);
    Report(event);
  }
  texts_.clear();
  for (const QPointer<QWidget>& picture : names_) {
    if (!picture) continue;
    QAccessibleEvent event(picture, QAccessible::NameChanged);
    Report(event);
  }
  names_.clear();
}

Announcer::Announcer(QWidget* window) : QWidget(window) {
  setFocusPolicy(Qt::NoFocus);
  setGeometry(0, 0, 0, 0);  // nothing to see or click
  hide();
}

void Announcer::Say(const QString& text) {
  // Shown again for every announcement: Orca speaks a notification when it becomes showing.
  hide();
  text_ = text;
  show();
}

}  // namespace tintvale::qt
