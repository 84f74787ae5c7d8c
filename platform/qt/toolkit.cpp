#include "platform/qt/toolkit.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QPixmap>

#include "platform/qt/accessibility.h"
#include "platform/qt/conversions.h"
#include "platform/qt/window.h"
#include "resources/icon.h"

namespace tintvale::qt {

QtToolkit::QtToolkit(QStringList arguments) : arguments_(std::move(arguments)) {
  sweep_.setSingleShot(true);
  sweep_.setInterval(0);
  QObject::connect(&sweep_, &QTimer::timeout, &sweep_, [this] { Sweep(); });
  // The runtime decides when the program ends (no window of it loaded), not Qt.
  QApplication::setQuitOnLastWindowClosed(false);
  InstallAccessibility();
}

QtToolkit::~QtToolkit() { retired_.clear(); }

std::unique_ptr<NativeWindow> QtToolkit::BuildWindow(const WindowLayout& layout, WindowEvents& events,
                                                     NativeWindow* owner) {
  return std::make_unique<QtWindow>(*this, layout, events, static_cast<QtWindow*>(owner));
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
