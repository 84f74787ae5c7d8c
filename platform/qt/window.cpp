#include "platform/qt/window.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "platform/qt/accessibility.h"
#include "platform/qt/conversions.h"
#include "platform/qt/form_widget.h"
#include "platform/qt/line_shape.h"
#include "platform/qt/picture_box.h"
#include "platform/qt/repaint_gathering.h"
#include "platform/qt/text_box.h"

namespace tintvale::qt {

QtWindow::QtWindow(QtToolkit& toolkit, const WindowLayout& layout, WindowEvents& events, QtWindow* owner)
    : toolkit_(toolkit),
      sink_(std::make_shared<Sink>(Sink{&events, &toolkit})),
      form_(std::make_unique<FormWidget>(sink_)),
      owner_(owner ? owner->Widget() : nullptr),
      live_(std::make_unique<LiveReports>(form_.get())) {
  ShapeForm(layout);
  auto* focus = new FocusWatch(form_.get(), sink_);
  std::vector<std::pair<int, QWidget*>> tabOrder;
  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    const ControlLayout& c = layout.controls[i];
    const int id = static_cast<int>(i);
    const Built built = BuildControl(c, id);
    if (built.focusable) {
      focus->Watch(built.focusable, id);
      tabOrder.emplace_back(c.tabIndex, built.focusable);
    }
    controls_.push_back(built.object);
    kinds_.push_back(c.kind);
  }
  SetTabOrder(std::move(tabOrder));
  ShapeForAssistiveTechnology(layout);
}

void QtWindow::ShapeForAssistiveTechnology(const WindowLayout& layout) {
  const QRect client(QPoint(0, 0), form_->size());
  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    const ControlLayout& c = layout.controls[i];
    auto* w = qobject_cast<QWidget*>(controls_[i]);
    if (!w) continue;
    // Placeholders below the client area are never seen; hidden, they are not offered as visible either.
    if (!client.intersects(w->geometry())) w->hide();
    if (!c.accessibleName.empty()) w->setAccessibleName(ToQString(c.accessibleName));
    if (c.labelledBy >= 0) {
      // The label's buddy: Qt names the box by the label's text and relates the two (labelled-by).
      if (auto* label = qobject_cast<QLabel*>(controls_.at(static_cast<std::size_t>(c.labelledBy)))) {
        label->setBuddy(w);
      }
    }
    if (auto* picture = dynamic_cast<PictureBox*>(w); picture && c.namedByColor) {
      picture->NameByColor(c.live ? live_.get() : nullptr);
    }
    if (auto* box = dynamic_cast<TextBox*>(w); box && c.live) box->MakeLive(live_.get());
  }
  announcer_ = new Announcer(form_.get());
}

void QtWindow::ShapeForm(const WindowLayout& layout) {
  FormWidget* form = form_.get();
  // Title, system menu and close box; no minimize or maximize box (window managers that honour the
  // Motif hints leave those buttons out).
  // An owned window is a dialog (_NET_WM_WINDOW_TYPE_DIALOG), kept above its owner as its transient (Show).
  const Qt::WindowType type = owner_ ? Qt::Dialog : Qt::Window;
  form->setWindowFlags(type | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
  form->dialog = layout.border == BorderStyle::FixedDialog;
  form->setWindowTitle(ToQString(layout.caption));
  if (layout.showsIcon) form->setWindowIcon(ProgramQIcon());
  form->setFixedSize(TwipsToPixels(layout.clientWidth, kLogicalDpi), TwipsToPixels(layout.clientHeight, kLogicalDpi));
  origin_ = QPoint(TwipsToPixels(layout.originLeft, kLogicalDpi), TwipsToPixels(layout.originTop, kLogicalDpi));
  form->setAutoFillBackground(true);
  form->setBackgroundRole(QPalette::Button);
}

QtWindow::Built QtWindow::BuildControl(const ControlLayout& c, int id) {
  switch (c.kind) {
    case ControlKind::Timer: return BuildTimer(id);
    case ControlKind::TextBox: return BuildTextBox(c, id);
    case ControlKind::CheckBox: return BuildCheckBox(c, id);
    case ControlKind::CommandButton: return BuildCommandButton(c, id);
    case ControlKind::PictureBox: return BuildPictureBox(c);
    case ControlKind::Label: return BuildLabel(c);
    case ControlKind::Line: return BuildLine(c);
  }
  return {nullptr, nullptr};
}

QtWindow::Built QtWindow::BuildTimer(int id) {
  FormWidget* form = form_.get();
  auto* timer = new QTimer(form);
  // Coarse timers may fire up to 5% late; the sampling interval is meant to be kept.
  timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer, &QTimer::timeout, timer, [sink = sink_, id, form] {
    const TickRepaints tick(form);
    Raise(sink, [id](WindowEvents& ev) { ev.TimerTick(id); });
  });
  return {timer, nullptr};
}

QtWindow::Built QtWindow::BuildTextBox(const ControlLayout& c, int id) {
  auto* box = new TextBox(form_.get(), sink_, id);
  box->setGeometry(TwipsRect(c.left, c.top, c.width, c.height));
  box->SetBoxText(ToQString(c.caption));
  if (c.backColor != kDefaultColor) {
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, ToQColor(c.backColor));
    box->setPalette(pal);
  }
  QObject::connect(box, &QLineEdit::textChanged, box,
                   [sink = sink_, id] { Raise(sink, [id](WindowEvents& ev) { ev.TextChanged(id); }); });
  return {box, box};
}

QtWindow::Built QtWindow::BuildCheckBox(const ControlLayout& c, int id) {
  auto* check = new QCheckBox(ToQString(c.caption), form_.get());
  check->setGeometry(TwipsRect(c.left, c.top, c.width, c.height));
  RaiseClicks(check, id);
  return {check, check};
}

QtWindow::Built QtWindow::BuildCommandButton(const ControlLayout& c, int id) {
  auto* button = new QPushButton(ToQString(c.caption), form_.get());
  button->setGeometry(TwipsRect(c.left, c.top, c.width, c.height));
  button->setAutoDefault(false);
  if (c.isDefault) {
    button->setDefault(true);
    form_->defaultButton = button;
  }
  if (c.isCancel) form_->cancelButton = button;
  RaiseClicks(button, id);
  return {button, button};
}

QtWindow::Built QtWindow::BuildPictureBox(const ControlLayout& c) {
  auto* picture = new PictureBox(form_.get(), c.showsIcon);
  picture->setGeometry(TwipsRect(c.left, c.top, c.width, c.height));
  if (c.backColor != kDefaultColor) picture->SetColor(c.backColor);
  return {picture, picture};
}

QtWindow::Built QtWindow::BuildLabel(const ControlLayout& c) {
  auto* label = new QLabel(ToQString(c.caption), form_.get());
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(TwipsRect(c.left, c.top, c.width, c.height));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  label->setFocusPolicy(Qt::NoFocus);
  label->setFont(ToQFont(c.font));
  if (c.foreColor != kDefaultColor) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, ToQColor(c.foreColor));
    label->setPalette(pal);
  }
  return {label, nullptr};
}

QtWindow::Built QtWindow::BuildLine(const ControlLayout& c) { return {new LineShape(form_.get(), c), nullptr}; }

void QtWindow::RaiseClicks(QAbstractButton* button, int id) {
  // clicked comes from the user only and after a check box's value has changed.
  QObject::connect(button, &QAbstractButton::clicked, button,
                   [sink = sink_, id] { Raise(sink, [id](WindowEvents& ev) { ev.Click(id); }); });
}

void QtWindow::SetTabOrder(std::vector<std::pair<int, QWidget*>> order) {
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1].second, order[i].second);
  if (!order.empty()) firstFocus_ = order.front().second;
}

QWidget* QtWindow::Widget() { return form_.get(); }

QtWindow::~QtWindow() {
  // This may run inside one of this window's own handlers (a close handled by a tick's pump): silence
  // and hide the window now, and let the toolkit delete the widgets once that handler has returned.
  sink_->events = nullptr;
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (kinds_[i] == ControlKind::Timer) static_cast<QTimer*>(controls_[i])->stop();
  }
  const bool wasActive = form_->isActiveWindow();
  form_->hide();
  // The keyboard goes back to the owner: some window managers (xfwm4) give it to a closing window's
  // transient parent, others to whatever they choose, or to nothing.
  if (wasActive && owner_ && owner_->isVisible()) owner_->activateWindow();
  toolkit_.Retire(std::move(form_));
}

void QtWindow::Show() {
  if (!shownOnce_) {
    // First shown with its client area at the layout's origin (not where the window manager would put it).
    // setGeometry on a top-level widget places its client area, which is what the layout's origin means.
    form_->setGeometry(QRect(origin_, form_->size()));
    shownOnce_ = true;
    // WM_TRANSIENT_FOR the owner, set on the native window before it is first mapped: window managers
    // keep a transient above its parent, also when the parent is in the "above" layer. Set on the QWindow
    // rather than by parenting the widget, so each window keeps its own life.
    if (owner_) {
      form_->winId();
      if (QWindow* handle = form_->windowHandle()) handle->setTransientParent(owner_->windowHandle());
    }
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

void QtWindow::SetTopmost(bool onTop) {
  QWidget* w = Widget();
  Qt::WindowFlags flags = w->windowFlags();
  flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
  // In place: QWidget::setWindowFlags would hide the window and recreate it elsewhere. The QWindow's
  // flags make Qt's xcb plugin send the _NET_WM_STATE request for the same mapped X window; the
  // widget's own copy is only kept in step.
  w->overrideWindowFlags(flags);
  if (QWindow* handle = w->windowHandle()) handle->setFlags(flags);
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

void QtWindow::Announce(int /*control*/, const Text& text) {
  if (QAccessible::isActive()) announcer_->Say(ToQString(text));
}

QWidget* WindowWidget(NativeWindow& window) { return static_cast<QtWindow&>(window).Widget(); }

bool IsMainWindow(const QWindow* window) {
  if (!window) return false;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    // An owned window is a dialog (ShapeForm); a message box is no FormWidget.
    if (w->windowHandle() == window) return dynamic_cast<FormWidget*>(w) && w->windowType() == Qt::Window;
  }
  return false;
}

QObject* ControlObject(NativeWindow& window, int control) { return static_cast<QtWindow&>(window).Control(control); }

}  // namespace tintvale::qt
