#include "platform/qt/qt_forms.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegion>
#include <QSignalBlocker>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWindow>
#include <QtWidgets/qdrawutil.h>
#include <algorithm>
#include <climits>
#include <map>
#include <utility>

#include "platform/qt/number_pictures.h"
#include "resources/icon.h"

namespace tintvale::qt {
namespace {

QString ToQString(const Text& t) {
  return QString(reinterpret_cast<const QChar*>(t.data()), static_cast<qsizetype>(t.size()));
}

Text FromQString(const QString& s) { return Text(reinterpret_cast<const char16_t*>(s.utf16()), s.size()); }

QColor ToQColor(ColorValue c) {
  if (c == kButtonFaceColor) return QApplication::palette().color(QPalette::Button);
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

QFont ToQFont(const FontSpec& font) {
  QFont f = QApplication::font();
  if (font.families.empty()) return f;
  QStringList families;
  for (const Text& family : font.families) families << ToQString(family);
  f.setFamilies(families);
  if (font.pointSize > 0) f.setPointSize(font.pointSize);
  // Qt 6 weights use the same 100..900 scale as the layout.
  f.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 1, 1000)));
  f.setItalic(font.italic);
  f.setUnderline(font.underline);
  f.setStrikeOut(font.strikeout);
  return f;
}

// Where a window's events go; shared with the widgets' callbacks, which outlive the NativeWindow until
// the widgets are deleted. events is null once the window is destroyed.
struct Sink {
  WindowEvents* events = nullptr;
  QtToolkit* toolkit = nullptr;
};
using SinkPtr = std::shared_ptr<Sink>;

template <typename F>
void Raise(const SinkPtr& sink, F&& call) {
  SinkPtr keep = sink;  // the callback that holds it may be deleted by the handler
  if (!keep->events) return;
  keep->toolkit->Dispatch([&] {
    if (keep->events) call(*keep->events);
  });
}

// The application's style, except that a text box's panel (base and frame) is drawn from a picture kept
// per size, state and palette. Styles such as Fusion draw that frame with antialiased paths, which made it
// most of the cost of repainting the coordinate box, whose text changes up to 100 times a second; the
// picture holds the same pixels, drawn once by the same style.
class PanelPictureStyle : public QProxyStyle {
 public:
  explicit PanelPictureStyle(QStyle* base) : QProxyStyle(base) {}

  // One instance for every text box, deleted with the application; null when the application style
  // cannot be made again by name (its text boxes then keep the application style itself).
  static QStyle* Shared() {
    static QPointer<QStyle> shared = [] {
      QStyle* base = QStyleFactory::create(QApplication::style()->name());
      if (!base) return QPointer<QStyle>();
      auto* style = new PanelPictureStyle(base);  // takes base
      style->setParent(QCoreApplication::instance());
      return QPointer<QStyle>(style);
    }();
    return shared.data();
  }

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_PanelLineEdit || !Pictured(*option, *painter)) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    const qreal ratio = painter->device()->devicePixelRatio();
    const Key key{option->state.toInt(), option->rect.size(), option->palette.cacheKey(), ratio, option->direction,
                  LineWidth(option)};
    auto found = std::find_if(pictures_.begin(), pictures_.end(), [&](const Picture& p) { return p.key == key; });
    if (found == pictures_.end()) {
      // A few pictures are enough: focused or not, active window or not, a changed colour.
      if (pictures_.size() >= kMaxPictures) pictures_.erase(pictures_.begin());
      QPixmap pixmap(option->rect.size() * ratio);
      pixmap.setDevicePixelRatio(ratio);
      pixmap.fill(Qt::transparent);
      {
        QPainter onPicture(&pixmap);
        DrawAtOrigin(element, *option, &onPicture, widget);
      }
      pictures_.push_back({key, std::move(pixmap)});
      found = pictures_.end() - 1;
    }
    painter->drawPixmap(option->rect.topLeft(), found->pixmap);
  }

 private:
  struct Key {
    QStyle::State::Int state;
    QSize size;
    qint64 palette;
    qreal ratio;
    Qt::LayoutDirection direction;
    int lineWidth;
    bool operator==(const Key&) const = default;
  };
  struct Picture {
    Key key;
    QPixmap pixmap;
  };
  static constexpr std::size_t kMaxPictures = 8;

  static int LineWidth(const QStyleOption* option) {
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    return frame ? frame->lineWidth : -1;
  }
  // Draws the panel with its option moved to the picture's origin. QStyleOption has no virtual destructor,
  // so each kind is copied as itself on the stack, never deleted through a base pointer.
  void DrawAtOrigin(PrimitiveElement element, const QStyleOption& option, QPainter* painter,
                    const QWidget* widget) const {
    if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(&option)) {
      QStyleOptionFrame copy(*frame);
      copy.rect.moveTopLeft(QPoint(0, 0));
      QProxyStyle::drawPrimitive(element, &copy, painter, widget);
      return;
    }
    QStyleOption copy(option);
    copy.rect.moveTopLeft(QPoint(0, 0));
    QProxyStyle::drawPrimitive(element, &copy, painter, widget);
  }
  // Only what a picture reproduces exactly: a plain painter on the widget and a solid base.
  static bool Pictured(const QStyleOption& option, const QPainter& painter) {
    return painter.worldTransform().isIdentity() && painter.opacity() == 1.0 &&
           painter.compositionMode() == QPainter::CompositionMode_SourceOver &&
           option.palette.base().style() == Qt::SolidPattern && !option.rect.isEmpty();
  }

  mutable std::vector<Picture> pictures_;
};

// While a timer tick runs, the repaints its changes need are gathered and made at its end, in one pass
// and at once. A repaint left to the event loop posts an event, and waking the loop for it took three
// system calls a tick. GatheringForm is the window of w while it gathers (and w can be painted), else null.
class FormWidget;
FormWidget* GatheringForm(const QWidget* w);
void GatherRepaint(FormWidget* form, const QWidget* w, const QRect& r);

// A single-line text box that raises KeyPress for each character before it handles the key.
class TextBox : public QLineEdit {
 public:
  TextBox(QWidget* parent, SinkPtr sink, int id) : QLineEdit(parent), sink_(std::move(sink)), id_(id) {
    // QLineEdit's default limit is 32767 characters; a text box has none.
    setMaxLength(INT_MAX);
    if (QStyle* style = PanelPictureStyle::Shared()) setStyle(style);
    connect(this, &QLineEdit::textEdited, this, [this](const QString& now) {
      if (!PlainNumbers(now)) SetShaping(true);
    });
  }

  // A set text is shown with each tab as an en space: QLineEdit expands a tab to an 80-pixel stop,
  // which would push the y of the coordinate box ("x<Tab>y") out of its 57 pixels. Read back while it
  // is still shown unedited, the box gives the text as it was set.
  void SetBoxText(const QString& text) {
    if (text == BoxText()) return;
    set_ = text;
    shown_ = text;
    shown_.replace(QLatin1Char('\t'), QChar(0x2002));
    SetShaping(!PlainNumbers(shown_));
    // In a tick the line edit's own repaint request is held back; the whole box is repainted with the
    // tick's other changes.
    FormWidget* gathering = GatheringForm(this);
    if (gathering) setAttribute(Qt::WA_UpdatesDisabled, true);
    setText(shown_);
    // A set text shows from its start with the caret there, as a text box does.
    setCursorPosition(0);
    if (gathering) {
      setAttribute(Qt::WA_UpdatesDisabled, false);
      GatherRepaint(gathering, this, rect());
    }
    if (ShowsNumberPlainly()) PrepareNumberPictures();
  }
  bool LastPaintFromPictures() const { return drewFromPictures_; }
  QString BoxText() const {
    const QString now = text();
    return now == shown_ ? set_ : now;
  }

  // Digits, minus signs and spaces: text that faces draw one glyph per character, as they are, with or
  // without HarfBuzz. Shaping the coordinates took a third of the work of each new coordinate text.
  static bool PlainNumbers(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar ch) {
      const char16_t c = ch.unicode();
      return (c >= u'0' && c <= u'9') || c == u'-' || c == u' ' || c == 0x2002;
    });
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    drewFromPictures_ = false;
    if (!DrawNumberFromPictures()) QLineEdit::paintEvent(e);
  }
  void changeEvent(QEvent* e) override {
    if (e->type() == QEvent::StyleChange) {
      numbers_.reset();
      refused_.reset();
    }
    QLineEdit::changeEvent(e);
  }

  void keyPressEvent(QKeyEvent* e) override {
    const QString chars = e->text();
    // Keys without a character (arrows, F keys, Delete's DEL) raise no KeyPress. Return, keypad Enter and
    // Ctrl+M all carry "\r" from X11.
    // Alt with a letter is an access key, not typing: one that no button took inserts nothing (Qt's
    // line edit would insert the letter).
    if ((e->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) == Qt::AltModifier && !chars.isEmpty()) {
      e->ignore();
      return;
    }
    if (chars.isEmpty() || chars == QStringLiteral("\x7f") || !sink_->events) {
      QLineEdit::keyPressEvent(e);
      return;
    }
    QString replacement;
    switch (RaiseKeyPresses(chars, replacement)) {
      case Outcome::WindowGone: return;  // the handler closed the window: the key goes nowhere
      case Outcome::Unchanged:
        QLineEdit::keyPressEvent(e);  // ignores Enter, which then reaches the window (default button)
        return;
      case Outcome::Changed:
        if (!replacement.isEmpty()) insert(replacement);
        return;
    }
  }

  // Text composed with an input method arrives here, not as key presses: each committed character
  // raises KeyPress the same way.
  void inputMethodEvent(QInputMethodEvent* e) override {
    const QString commit = e->commitString();
    if (commit.isEmpty() || !sink_->events) {
      QLineEdit::inputMethodEvent(e);
      return;
    }
    QString replacement;
    switch (RaiseKeyPresses(commit, replacement)) {
      case Outcome::WindowGone: return;
      case Outcome::Unchanged:
        QLineEdit::inputMethodEvent(e);
        return;
      case Outcome::Changed: {
        QInputMethodEvent edited(e->preeditString(), e->attributes());
        edited.setCommitString(replacement, e->replacementStart(), e->replacementLength());
        QLineEdit::inputMethodEvent(&edited);
        return;
      }
    }
  }

 private:
  enum class Outcome { Unchanged, Changed, WindowGone };

  // A number in a box without the focus (the coordinates, up to 100 times a second) is drawn from
  // pictures of its characters: laying the text out and blending its glyphs again took most of the work
  // of each new coordinate text. Anything else, and any state the pictures do not cover, is drawn by the
  // line edit itself.
  bool ShowsNumberPlainly() const {
    return !hasFocus() && !hasSelectedText() && echoMode() == QLineEdit::Normal &&
           alignment() == (Qt::AlignLeft | Qt::AlignVCenter) && layoutDirection() == Qt::LeftToRight &&
           devicePixelRatioF() == 1.0 && !QAccessible::isActive() && !text().isEmpty() &&
           NumberPictures::IsNumberText(text());
  }
  bool DrawNumberFromPictures() {
    if (!numbers_ || drawingAsLineEdit_ || !ShowsNumberPlainly()) return false;
    const QPalette& pal = palette();
    if (!numbers_->DrawsFor(font(), pal.text().color(), pal.base().color())) return false;
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect contents =
        style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    // A text that is wider than the box is scrolled to show the caret, which stands at the start
    // after a set; a narrower one shows from the start wherever the caret is.
    const QString shown = text();
    if (cursorPosition() != 0 && !numbers_->Fits(shown, contents)) return false;
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    painter.setClipRect(contents);
    numbers_->Draw(painter, shown, contents);
    drewFromPictures_ = true;
    return true;
  }
  // Pictures for the present font and colours, kept only when they draw probe numbers pixel for pixel
  // as the line edit does; a font whose figures they cannot reproduce keeps the line edit's drawing.
  void PrepareNumberPictures() {
    const QPalette& pal = palette();
    const QColor textColor = pal.text().color();
    const QColor baseColor = pal.base().color();
    if (numbers_ && numbers_->DrawsFor(font(), textColor, baseColor)) return;
    if (refused_ && refused_->DrawsFor(font(), textColor, baseColor)) return;
    numbers_ = std::make_unique<NumberPictures>(font(), textColor, baseColor);
    if (!numbers_->Usable() || !DrawsProbesLikeTheLineEdit()) refused_ = std::move(numbers_);
  }
  bool DrawsProbesLikeTheLineEdit() {
    const QSignalBlocker quiet(this);  // the probes are no change of the box's text
    const QString saved = QLineEdit::text();
    const int cursor = cursorPosition();
    bool same = true;
    const QChar en(0x2002);
    for (const QString& probe : {QStringLiteral("0123"), QStringLiteral("4567"), QStringLiteral("89-0"),
                                 QStringLiteral("1 2") + en + QStringLiteral("3"),
                                 QStringLiteral("-9") + en + QStringLiteral("-8")}) {
      QLineEdit::setText(probe);
      setCursorPosition(0);
      QImage lineEdit(size(), QImage::Format_RGB32);
      QImage pictures(size(), QImage::Format_RGB32);
      drawingAsLineEdit_ = true;
      render(&lineEdit);
      drawingAsLineEdit_ = false;
      render(&pictures);
      same = same && drewFromPictures_ && lineEdit == pictures;
    }
    QLineEdit::setText(saved);
    setCursorPosition(cursor);
    return same;
  }

  // KeyPress for each character; replacement gets what the box should take instead when a handler
  // changed a code (0 and 13 take nothing).
  Outcome RaiseKeyPresses(const QString& chars, QString& replacement) {
    SinkPtr keep = sink_;
    QPointer<TextBox> self(this);
    bool changed = false;
    for (QChar ch : chars) {
      std::int16_t code = static_cast<std::int16_t>(ch.unicode());
      const std::int16_t typed = code;
      Raise(keep, [&](WindowEvents& ev) { ev.KeyPress(id_, code); });
      if (!keep->events || !self) return Outcome::WindowGone;
      changed = changed || code != typed;
      if (code != 0 && code != 13) replacement += QChar(static_cast<char16_t>(code));
    }
    return changed ? Outcome::Changed : Outcome::Unchanged;
  }

  // Anything else, typed or set, is shaped as usual.
  void SetShaping(bool shaped) {
    if (shaped == shaped_) return;
    shaped_ = shaped;
    QFont f = font();
    const auto strategy = static_cast<int>(f.styleStrategy());
    f.setStyleStrategy(static_cast<QFont::StyleStrategy>(shaped ? strategy & ~QFont::PreferNoShaping
                                                                : strategy | QFont::PreferNoShaping));
    setFont(f);
  }

  SinkPtr sink_;
  int id_;
  QString set_;
  QString shown_;
  bool shaped_ = true;
  std::unique_ptr<NumberPictures> numbers_;
  std::unique_ptr<NumberPictures> refused_;  // the last pictures that did not match, so they are not retried
  bool drawingAsLineEdit_ = false;
  bool drewFromPictures_ = false;  // by the last paint
};

}  // namespace

bool DrewFromPictures(const QObject* box) {
  const auto* textBox = dynamic_cast<const TextBox*>(box);
  return textBox && textBox->LastPaintFromPictures();
}

namespace {

// A picture box: a sunken two-pixel border round a background colour, and optionally the program icon.
class PictureBox : public QWidget {
 public:
  PictureBox(QWidget* parent, bool showsIcon) : QWidget(parent), showsIcon_(showsIcon) {
    setFocusPolicy(Qt::StrongFocus);
    // Not marked opaque, although it paints every pixel: a repaint of the window's region leaves opaque
    // children out, and a tick's changes are repainted that way (see GatheredRepaints).
    if (showsIcon_) icon_ = ProgramQIcon().pixmap(IconImage::kSize, IconImage::kSize);
  }
  bool SetColor(ColorValue c) {
    if (c == color_) return false;
    color_ = c;
    // A new colour changes only the inside: the border is left as it is on the screen (the swatch
    // changes colour up to 100 times a second, and redrawing the border each time doubled its cost).
    if (FormWidget* gathering = GatheringForm(this)) {
      GatherRepaint(gathering, this, Interior());
    } else {
      update(Interior());
    }
    return true;
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    const QColor back = color_ == kDefaultColor ? palette().color(QPalette::Button) : ToQColor(color_);
    const QRect inside = Interior();
    p.fillRect(inside, back);
    if (!inside.contains(e->rect())) qDrawWinPanel(&p, rect(), palette(), true, nullptr);
    if (showsIcon_) p.drawPixmap(2, 2, icon_);
  }

 private:
  QRect Interior() const { return rect().adjusted(2, 2, -2, -2); }

  bool showsIcon_;
  ColorValue color_ = kDefaultColor;
  QPixmap icon_;
};

// A line control: a child that paints only its line and lets the mouse through.
class LineShape : public QWidget {
 public:
  LineShape(QWidget* parent, const ControlLayout& c) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    from_ = QPoint(TwipsToPixels(c.left), TwipsToPixels(c.top));
    to_ = QPoint(TwipsToPixels(c.width), TwipsToPixels(c.height));
    width_ = std::max(1, c.lineWidthPx);
    color_ = c.foreColor == kDefaultColor ? QColor(Qt::black) : ToQColor(c.foreColor);
    const QRect box = QRect(from_, to_).normalized().adjusted(0, 0, width_, width_);
    setGeometry(box);
    from_ -= box.topLeft();
    to_ -= box.topLeft();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (from_.y() == to_.y()) {
      // A rule: width_ rows from the line's y downwards, as wide as the line is long.
      p.fillRect(QRect(std::min(from_.x(), to_.x()), from_.y(), std::abs(to_.x() - from_.x()), width_), color_);
    } else if (from_.x() == to_.x()) {
      p.fillRect(QRect(from_.x(), std::min(from_.y(), to_.y()), width_, std::abs(to_.y() - from_.y())), color_);
    } else {
      p.setPen(QPen(color_, width_));
      p.drawLine(from_, to_);
    }
  }

 private:
  QPoint from_;
  QPoint to_;
  int width_ = 1;
  QColor color_;
};

// The top-level widget: the close box asks the runtime, Enter and Esc press the default and cancel buttons.
class FormWidget : public QWidget {
 public:
  explicit FormWidget(SinkPtr sink) : sink_(std::move(sink)) {}
  QPushButton* defaultButton = nullptr;
  QPushButton* cancelButton = nullptr;
  int gathering = 0;  // timer ticks running (see GatheringForm)
  QRegion gathered;   // what they changed, in the window's coordinates

 protected:
  void closeEvent(QCloseEvent* e) override {
    // The runtime unloads the window (and destroys it) or keeps it; Qt itself must not hide it.
    e->ignore();
    Raise(sink_, [](WindowEvents& ev) { ev.CloseRequested(); });
  }
  void keyPressEvent(QKeyEvent* e) override {
    const auto plain = e->modifiers() & ~Qt::KeypadModifier;
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && plain == Qt::NoModifier) {
      // A focused button takes Enter itself; otherwise the default button does.
      auto* focused = qobject_cast<QPushButton*>(focusWidget());
      if (QPushButton* b = focused ? focused : defaultButton) {
        b->click();
        return;
      }
    } else if (e->key() == Qt::Key_Escape && plain == Qt::NoModifier && cancelButton) {
      cancelButton->click();
      return;
    }
    QWidget::keyPressEvent(e);
  }
  bool event(QEvent* e) override {
    if (e->type() == QEvent::WindowActivate) {
      Raise(sink_, [](WindowEvents& ev) { ev.GotFocus(kWindowItself); });
    }
    return QWidget::event(e);
  }

 private:
  SinkPtr sink_;
};

FormWidget* GatheringForm(const QWidget* w) {
  auto* form = dynamic_cast<FormWidget*>(w->window());
  if (!form || form->gathering == 0 || !w->isVisible() || !w->updatesEnabled()) return nullptr;
  return form;
}

void GatherRepaint(FormWidget* form, const QWidget* w, const QRect& r) {
  form->gathered += QRect(w->mapTo(form, r.topLeft()), r.size());
}

// Gathers the repaints of a timer tick for its lifetime and then paints them. QWidget::repaint paints and
// flushes to the X server straight away; it does nothing for a window that is hidden or not exposed yet,
// whose next expose paints everything anyway.
class GatheredRepaints {
 public:
  explicit GatheredRepaints(FormWidget* form) : form_(form) {
    if (form) ++form->gathering;
  }
  ~GatheredRepaints() {
    if (!form_ || --form_->gathering > 0 || form_->gathered.isEmpty()) return;
    const QRegion region = std::exchange(form_->gathered, QRegion());
    form_->repaint(region);
  }
  GatheredRepaints(const GatheredRepaints&) = delete;
  GatheredRepaints& operator=(const GatheredRepaints&) = delete;

 private:
  QPointer<FormWidget> form_;  // a handler may close the window
};

// Raises GotFocus when a control takes the focus (not when its window is merely activated again).
class FocusWatch : public QObject {
 public:
  FocusWatch(QObject* parent, SinkPtr sink) : QObject(parent), sink_(std::move(sink)) {}
  void Watch(QWidget* w, int id) {
    ids_[w] = id;
    w->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* obj, QEvent* e) override {
    if (e->type() == QEvent::FocusIn) {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
      auto it = ids_.find(obj);
      if (it != ids_.end() && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
        const int id = it->second;
        Raise(sink_, [id](WindowEvents& ev) { ev.GotFocus(id); });
      }
    }
    return false;
  }

 private:
  SinkPtr sink_;
  std::map<QObject*, int> ids_;
};

class QtWindow : public NativeWindow {
 public:
  QtWindow(QtToolkit& toolkit, const WindowLayout& layout, WindowEvents& events);
  ~QtWindow() override;

  void Show() override;
  void SetCaption(int control, const Text& caption) override;
  Text GetText(int control) const override;
  void SetText(int control, const Text& text) override;
  void SetBackColor(int control, ColorValue color) override;
  int CheckValue(int control) const override;
  void SetFocus(int control) override;
  void SetTimer(int control, bool enabled, int intervalMs) override;

  QWidget* Widget() { return form_.get(); }
  QObject* Control(int control) { return controls_.at(control); }

 private:
  QtToolkit& toolkit_;
  SinkPtr sink_;
  std::unique_ptr<FormWidget> form_;
  std::vector<ControlKind> kinds_;
  std::vector<QObject*> controls_;  // owned by form_
  QPoint origin_;
  bool shownOnce_ = false;
  QWidget* firstFocus_ = nullptr;  // the control with the lowest tab index
};

QtWindow::QtWindow(QtToolkit& toolkit, const WindowLayout& layout, WindowEvents& events)
    : toolkit_(toolkit), sink_(std::make_shared<Sink>(Sink{&events, &toolkit})) {
  form_ = std::make_unique<FormWidget>(sink_);
  FormWidget* form = form_.get();
  // Title, system menu and close box; no minimize or maximize box (window managers that honour the
  // Motif hints leave those buttons out).
  form->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
  form->setWindowTitle(ToQString(layout.caption));
  if (layout.showsIcon) form->setWindowIcon(ProgramQIcon());
  form->setFixedSize(TwipsToPixels(layout.clientWidth), TwipsToPixels(layout.clientHeight));
  origin_ = QPoint(TwipsToPixels(layout.originLeft), TwipsToPixels(layout.originTop));
  form->setAutoFillBackground(true);
  form->setBackgroundRole(QPalette::Button);

  auto* focus = new FocusWatch(form, sink_);
  std::vector<std::pair<int, QWidget*>> tabOrder;
  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    const ControlLayout& c = layout.controls[i];
    const int id = static_cast<int>(i);
    const QRect geometry = TwipsRect(c.left, c.top, c.width, c.height);
    QObject* object = nullptr;
    QWidget* focusable = nullptr;
    switch (c.kind) {
      case ControlKind::Timer: {
        auto* timer = new QTimer(form);
        // Coarse timers may fire up to 5% late; the sampling interval is meant to be kept.
        timer->setTimerType(Qt::PreciseTimer);
        SinkPtr sink = sink_;
        QObject::connect(timer, &QTimer::timeout, timer, [sink, id, form] {
          GatheredRepaints gather(form);
          Raise(sink, [id](WindowEvents& ev) { ev.TimerTick(id); });
        });
        object = timer;
        break;
      }
      case ControlKind::TextBox: {
        auto* box = new TextBox(form, sink_, id);
        box->setGeometry(geometry);
        box->SetBoxText(ToQString(c.caption));
        if (c.backColor != kDefaultColor) {
          QPalette pal = box->palette();
          pal.setColor(QPalette::Base, ToQColor(c.backColor));
          box->setPalette(pal);
        }
        SinkPtr sink = sink_;
        QObject::connect(box, &QLineEdit::textChanged, box,
                         [sink, id] { Raise(sink, [id](WindowEvents& ev) { ev.TextChanged(id); }); });
        object = focusable = box;
        break;
      }
      case ControlKind::CheckBox: {
        auto* check = new QCheckBox(ToQString(c.caption), form);
        check->setGeometry(geometry);
        SinkPtr sink = sink_;
        // clicked comes from the user only and after the value has changed.
        QObject::connect(check, &QCheckBox::clicked, check,
                         [sink, id] { Raise(sink, [id](WindowEvents& ev) { ev.Click(id); }); });
        object = focusable = check;
        break;
      }
      case ControlKind::CommandButton: {
        auto* button = new QPushButton(ToQString(c.caption), form);
        button->setGeometry(geometry);
        button->setAutoDefault(false);
        if (c.isDefault) {
          button->setDefault(true);
          form->defaultButton = button;
        }
        if (c.isCancel) form->cancelButton = button;
        SinkPtr sink = sink_;
        QObject::connect(button, &QPushButton::clicked, button,
                         [sink, id] { Raise(sink, [id](WindowEvents& ev) { ev.Click(id); }); });
        object = focusable = button;
        break;
      }
      case ControlKind::PictureBox: {
        auto* picture = new PictureBox(form, c.showsIcon);
        picture->setGeometry(geometry);
        if (c.backColor != kDefaultColor) picture->SetColor(c.backColor);
        object = focusable = picture;
        break;
      }
      case ControlKind::Label: {
        auto* label = new QLabel(ToQString(c.caption), form);
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(geometry);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        label->setFocusPolicy(Qt::NoFocus);
        label->setFont(ToQFont(c.font));
        if (c.foreColor != kDefaultColor) {
          QPalette pal = label->palette();
          pal.setColor(QPalette::WindowText, ToQColor(c.foreColor));
          label->setPalette(pal);
        }
        object = label;
        break;
      }
      case ControlKind::Line:
        object = new LineShape(form, c);
        break;
    }
    if (focusable) {
      focus->Watch(focusable, id);
      tabOrder.emplace_back(c.tabIndex, focusable);
    }
    controls_.push_back(object);
    kinds_.push_back(c.kind);
  }
  std::stable_sort(tabOrder.begin(), tabOrder.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < tabOrder.size(); ++i) QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
  if (!tabOrder.empty()) firstFocus_ = tabOrder.front().second;
}

QtWindow::~QtWindow() {
  // This may run inside one of this window's own handlers (a close handled by a tick's pump): silence
  // and hide the window now, and let the toolkit delete the widgets once that handler has returned.
  sink_->events = nullptr;
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (kinds_[i] == ControlKind::Timer) static_cast<QTimer*>(controls_[i])->stop();
  }
  form_->hide();
  toolkit_.Retire(std::move(form_));
}

void QtWindow::Show() {
  if (!shownOnce_) {
    // First shown with its client area at the layout's origin (not where the window manager would put it).
    // setGeometry on a top-level widget places its client area, which is what the layout's origin means.
    form_->setGeometry(QRect(origin_, form_->size()));
    shownOnce_ = true;
  }
  // A window first takes the focus at its lowest tab index, not at Qt's first child.
  if (!form_->focusWidget() && firstFocus_) firstFocus_->setFocus(Qt::TabFocusReason);
  form_->show();
  form_->raise();
  form_->activateWindow();
}

void QtWindow::SetCaption(int control, const Text& caption) {
  const QString q = ToQString(caption);
  if (control == kWindowItself) {
    if (form_->windowTitle() != q) form_->setWindowTitle(q);
    return;
  }
  QObject* o = controls_.at(control);
  if (auto* label = qobject_cast<QLabel*>(o)) {
    if (label->text() != q) label->setText(q);
  } else if (auto* button = qobject_cast<QAbstractButton*>(o)) {
    if (button->text() != q) button->setText(q);
  } else if (qobject_cast<QLineEdit*>(o)) {
    SetText(control, caption);
  }
}

Text QtWindow::GetText(int control) const {
  if (control == kWindowItself) return FromQString(form_->windowTitle());
  QObject* o = controls_.at(control);
  if (auto* box = dynamic_cast<TextBox*>(o)) return FromQString(box->BoxText());
  if (auto* label = qobject_cast<QLabel*>(o)) return FromQString(label->text());
  if (auto* button = qobject_cast<QAbstractButton*>(o)) return FromQString(button->text());
  return Text();
}

void QtWindow::SetText(int control, const Text& text) {
  if (auto* box = dynamic_cast<TextBox*>(controls_.at(control))) {
    box->SetBoxText(ToQString(text));
  } else if (kinds_.at(control) != ControlKind::TextBox) {
    SetCaption(control, text);
  }
}

void QtWindow::SetBackColor(int control, ColorValue color) {
  if (auto* picture = dynamic_cast<PictureBox*>(controls_.at(control))) {
    picture->SetColor(color);  // repaints only for a new colour
  } else if (auto* edit = qobject_cast<QLineEdit*>(controls_.at(control))) {
    const QColor c = ToQColor(color);
    if (edit->palette().color(QPalette::Base) == c) return;
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, c);
    edit->setPalette(pal);
  }
}

int QtWindow::CheckValue(int control) const {
  auto* check = qobject_cast<QCheckBox*>(controls_.at(control));
  if (!check) return 0;
  switch (check->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
  }
}

void QtWindow::SetFocus(int control) {
  if (auto* w = qobject_cast<QWidget*>(controls_.at(control))) {
    if (!w->hasFocus()) w->setFocus(Qt::OtherFocusReason);
  }
}

void QtWindow::SetTimer(int control, bool enabled, int intervalMs) {
  auto* timer = qobject_cast<QTimer*>(controls_.at(control));
  if (!timer) return;
  if (enabled) {
    timer->start(std::max(1, intervalMs));  // start() restarts: a fresh interval
  } else {
    timer->stop();
  }
}

}  // namespace

QtToolkit::QtToolkit(QStringList arguments) : arguments_(std::move(arguments)) {
  sweep_.setSingleShot(true);
  sweep_.setInterval(0);
  QObject::connect(&sweep_, &QTimer::timeout, &sweep_, [this] { Sweep(); });
  // The runtime decides when the program ends (no window of it loaded), not Qt.
  QApplication::setQuitOnLastWindowClosed(false);
}

QtToolkit::~QtToolkit() { retired_.clear(); }

std::unique_ptr<NativeWindow> QtToolkit::BuildWindow(const WindowLayout& layout, WindowEvents& events) {
  return std::make_unique<QtWindow>(*this, layout, events);
}

void QtToolkit::Retire(std::unique_ptr<QWidget> window) {
  retired_.push_back(std::move(window));
  if (depth_ == 0) sweep_.start();
}

void QtToolkit::Sweep() {
  // Deleted here, from the event loop, rather than with deleteLater(): Qt 6.4's GLib dispatcher keeps an
  // object alive until exec() ends when deleteLater() and processEvents() meet in the same slot, and a
  // tick's pump is exactly that.
  if (depth_ != 0) return;  // a handler is still on the stack; its end starts the sweep again
  std::vector<std::unique_ptr<QWidget>> doomed;
  doomed.swap(retired_);
  doomed.clear();
}

void QtToolkit::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

int QtToolkit::Run() {
  // The last window may have been closed during start-up, before the loop ran.
  const int status = quitRequested_ ? 0 : QApplication::exec();
  quitRequested_ = false;
  return status;
}

void QtToolkit::Quit() {
  // exit() before exec() is forgotten by Qt, hence the flag.
  quitRequested_ = true;
  QCoreApplication::exit(0);
}

bool QtToolkit::SetClipboardText(const Text& text) {
  // setText replaces every format in one step. Clearing first would let a clipboard manager take the
  // emptied selection and win against Qt's older timestamp.
  QGuiApplication::clipboard()->setText(ToQString(text));
  return true;
}

Text QtToolkit::CommandLine() { return FromQString(arguments_.join(QLatin1Char(' '))); }

QWidget* WindowWidget(NativeWindow& window) { return static_cast<QtWindow&>(window).Widget(); }

QObject* ControlObject(NativeWindow& window, int control) { return static_cast<QtWindow&>(window).Control(control); }

QIcon ProgramQIcon() {
  const IconImage& icon = ProgramIcon();
  QImage image(IconImage::kSize, IconImage::kSize, QImage::Format_RGB32);
  for (int y = 0; y < IconImage::kSize; ++y) {
    for (int x = 0; x < IconImage::kSize; ++x) {
      const IconColor& c = icon.palette[icon.pixels[static_cast<std::size_t>(y * IconImage::kSize + x)]];
      image.setPixel(x, y, qRgb(c.red, c.green, c.blue));
    }
  }
  return QIcon(QPixmap::fromImage(image));
}

}  // namespace tintvale::qt
