#include "platform/qt/form_widget.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>

namespace tintvale::qt {

void FormWidget::closeEvent(QCloseEvent* e) {
  // The runtime unloads the window (and destroys it) or keeps it; Qt itself must not hide it.
  e->ignore();
  Raise(sink_, [](WindowEvents& ev) { ev.CloseRequested(); });
}

void FormWidget::keyPressEvent(QKeyEvent* e) {
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

bool FormWidget::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) {
    Raise(sink_, [](WindowEvents& ev) { ev.GotFocus(kWindowItself); });
  }
  return QWidget::event(e);
}

void FocusWatch::Watch(QWidget* w, int id) {
  ids_[w] = id;
  w->installEventFilter(this);
}

bool FocusWatch::eventFilter(QObject* obj, QEvent* e) {
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

}  // namespace tintvale::qt
