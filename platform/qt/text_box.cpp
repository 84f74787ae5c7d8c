#include "platform/qt/text_box.h"

#include <QAccessible>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPointer>
#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/qt/accessibility.h"
#include "platform/qt/panel_picture_style.h"
#include "platform/qt/repaint_gathering.h"

namespace tintvale::qt {
namespace {

// Digits, minus signs and spaces: text that faces draw one glyph per character, as they are, with or
// without HarfBuzz. Shaping the coordinates took a third of the work of each new coordinate text.
bool PlainNumbers(const QString& s) {
  return std::all_of(s.begin(), s.end(), [](QChar ch) {
    const char16_t c = ch.unicode();
    return (c >= u'0' && c <= u'9') || c == u'-' || c == u' ' || c == 0x2002;
  });
}

}  // namespace

TextBox::TextBox(QWidget* parent, SinkPtr sink, int id) : QLineEdit(parent), sink_(std::move(sink)), id_(id) {
  // QLineEdit's default limit is 32767 characters; a text box has none.
  setMaxLength(INT_MAX);
  if (QStyle* style = PanelPictureStyle()) setStyle(style);
  connect(this, &QLineEdit::textEdited, this, [this](const QString& now) {
    if (!PlainNumbers(now)) SetShaping(true);
  });
  // Every copy of the line edit (Ctrl+C, Ctrl+X, the context menu, the mouse selection into PRIMARY)
  // goes through QClipboard::setText, which QLineEdit does not let a subclass change; the copy is
  // corrected as it lands, before any other program can read it.
  connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &TextBox::GiveCopiedTabs);
}

void TextBox::SetBoxText(const QString& text) {
  if (text == BoxText()) return;
  if (reports_ && QAccessible::isActive()) reports_->TextSet(this, BoxText());
  set_ = text;
  shown_ = text;
  shown_.replace(QLatin1Char('\t'), QChar(0x2002));
  SetShaping(!PlainNumbers(shown_));
  {
    // In a tick the line edit's own repaint request is held back; the whole box is repainted with the
    // tick's other changes.
    const HeldRepaints held(this);
    setText(shown_);
    // A set text shows from its start with the caret there, as a text box does.
    setCursorPosition(0);
  }
}

// The line edit copies what it shows. While it shows its set text unedited, the copied part of the set
// text goes on the clipboard instead: tabs where en spaces stand.
void TextBox::GiveCopiedTabs(QClipboard::Mode mode) {
  if (correcting_ || set_ == shown_ || !hasSelectedText() || text() != shown_) return;
  QClipboard* clipboard = QGuiApplication::clipboard();
  const bool ours = mode == QClipboard::Selection ? clipboard->ownsSelection() : clipboard->ownsClipboard();
  const QString selected = selectedText();
  if (!ours || clipboard->text(mode) != selected) return;
  // Setting it raises changed again, inside this call.
  correcting_ = true;
  clipboard->setText(set_.mid(selectionStart(), selected.size()), mode);
  correcting_ = false;
}

QString TextBox::BoxText() const {
  const QString now = text();
  return now == shown_ ? set_ : now;
}

namespace {

// The arrow keys' codes and the Shift, Ctrl and Alt mask of a key down.
std::int16_t ArrowCode(int key) {
  switch (key) {
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    default: return 0;
  }
}

std::int16_t ShiftMask(Qt::KeyboardModifiers m) {
  return static_cast<std::int16_t>((m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
                                   (m & Qt::AltModifier ? 4 : 0));
}

}  // namespace

void TextBox::keyPressEvent(QKeyEvent* e) {
  if (std::int16_t code = ArrowCode(e->key()); code != 0 && sink_->events) {
    SinkPtr keep = sink_;
    QPointer<TextBox> self(this);
    const std::int16_t shift = ShiftMask(e->modifiers());
    Raise(keep, [&](WindowEvents& ev) { ev.KeyDown(id_, code, shift); });
    if (!keep->events || !self) return;
    if (code == 0) {
      e->accept();  // swallowed: Alt+arrow moved the pointer and must not move the caret as well
      return;
    }
  }
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

// A box keeps its selection when the focus goes elsewhere, as a Windows text box does; the line edit
// would drop it. The coordinate box hands the focus straight back to the entry box, so without this its
// context menu never had a selection to copy.
void TextBox::focusOutEvent(QFocusEvent* e) {
  const int start = selectionStart();
  const int length = selectionLength();
  QLineEdit::focusOutEvent(e);
  if (length > 0 && !hasSelectedText()) setSelection(start, length);
}

// Text composed with an input method arrives here, not as key presses: each committed character
// raises KeyPress the same way.
void TextBox::inputMethodEvent(QInputMethodEvent* e) {
  const QString commit = e->commitString();
  if (commit.isEmpty() || !sink_->events) {
    QLineEdit::inputMethodEvent(e);
    return;
  }
  QString replacement;
  switch (RaiseKeyPresses(commit, replacement)) {
    case Outcome::WindowGone: return;
    case Outcome::Unchanged: QLineEdit::inputMethodEvent(e); return;
    case Outcome::Changed: {
      QInputMethodEvent edited(e->preeditString(), e->attributes());
      edited.setCommitString(replacement, e->replacementStart(), e->replacementLength());
      QLineEdit::inputMethodEvent(&edited);
      return;
    }
  }
}

// KeyPress for each character; replacement gets what the box should take instead when a handler
// changed a code (0 and 13 take nothing).
TextBox::Outcome TextBox::RaiseKeyPresses(const QString& chars, QString& replacement) {
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
void TextBox::SetShaping(bool shaped) {
  if (shaped == shaped_) return;
  shaped_ = shaped;
  QFont f = font();
  const auto strategy = static_cast<int>(f.styleStrategy());
  f.setStyleStrategy(static_cast<QFont::StyleStrategy>(shaped ? strategy & ~QFont::PreferNoShaping
                                                              : strategy | QFont::PreferNoShaping));
  setFont(f);
}

}  // namespace tintvale::qt
