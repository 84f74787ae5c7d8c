#include "platform/qt/portal_screen.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <QWindow>
#include <cstdio>

namespace tintvale::qt {
namespace {

// In the style of the program's other message: what does not work, then what still does.
constexpr char16_t kNoPortal[] = u"現時点では画面の共有を使用できません。X11のｳｨﾝﾄﾞｳだけを読み取ります";
constexpr char16_t kCancelled[] = u"画面の共有が許可されませんでした。X11のｳｨﾝﾄﾞｳだけを読み取ります";
constexpr char16_t kNoMetadata[] =
    u"このﾃﾞｽｸﾄｯﾌﾟはﾏｳｽの位置を知らせないため、画面を続けて読み取れません。X11のｳｨﾝﾄﾞｳだけを読み取ります"
    u"（続けて読み取れるのはGNOMEとKDE Plasmaです）";
constexpr char16_t kEnded[] = u"画面の共有が終了しました。ｳｨﾝﾄﾞｳを再びｱｸﾃｨﾌﾞにすると再開します";

QString Q(const char16_t* text) { return QString::fromUtf16(text); }

// The main window: the program's window titled "Tintvale" that is not a message box.
bool IsMainWindow(QWindow* window) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->windowHandle() == window) {
      return !qobject_cast<QMessageBox*>(w) && w->windowTitle() == QLatin1String("Tintvale");
    }
  }
  return false;
}

}  // namespace

// The screen taken at load: its end gives the portal session back.
class PortalScreenContext : public ScreenContext {
 public:
  explicit PortalScreenContext(PortalScreen& screen) : screen_(screen) {}
  ~PortalScreenContext() override { screen_.EndSession(); }

  ColorValue Pixel(std::int32_t x, std::int32_t y) override {
    switch (screen_.mode_) {
      case PortalScreen::Mode::kLive: return screen_.capture_->Pixel({x, y});
      case PortalScreen::Mode::kFallback:
        return screen_.fallbackScreen_ ? screen_.fallbackScreen_->Pixel(x, y) : kInvalidColor;
      default: return kInvalidColor;
    }
  }

 private:
  PortalScreen& screen_;
};

PortalScreen::PortalScreen(ScreenServices& fallback) : fallback_(fallback), tokenPath_(RestoreTokenPath()) {
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ >= 0) {
    wake_ = std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read);
    QObject::connect(wake_.get(), &QSocketNotifier::activated, &events_, [this] {
      std::uint64_t count = 0;
      while (::read(wakeFd_, &count, sizeof count) > 0) {
      }
      if (capture_ && capture_->Ended()) OnStreamEnded();
    });
  }
  // Qt's application-wide focus: the one new session after the streams ended waits for the user to come
  // back to the main window.
  QObject::connect(qApp, &QGuiApplication::focusWindowChanged, &events_, [this](QWindow* window) {
    if (window && IsMainWindow(window)) OnActivated();
  });
}

PortalScreen::~PortalScreen() {
  EndSession();
  delete box_.data();
  wake_.reset();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

std::unique_ptr<ScreenContext> PortalScreen::GetScreen() {
  fallbackScreen_ = fallback_.GetScreen();
  if (mode_ == Mode::kIdle) BeginSession();
  return std::make_unique<PortalScreenContext>(*this);
}

bool PortalScreen::MovePointer(ScreenPoint /*point*/) { return false; }

bool PortalScreen::CursorPos(ScreenPoint& point) {
  switch (mode_) {
    case Mode::kLive: return capture_->Pointer(point);
    case Mode::kFallback: return fallback_.CursorPos(point);
    default: return false;
  }
}

void PortalScreen::BeginSession() {
  mode_ = Mode::kWaiting;
  session_.reset();
  session_ = std::make_unique<PortalSession>(
      ReadRestoreToken(tokenPath_), [this](PortalResult& r) { OnHandshake(r); }, [this] { OnStreamEnded(); });
  session_->Begin();
}

void PortalScreen::EndSession() {
  // PipeWire's thread first, so nothing reports from it while the session goes.
  capture_.reset();
  if (session_) session_->Close(true);
  session_.reset();
  fallbackScreen_.reset();
  mode_ = Mode::kIdle;
}

void PortalScreen::OnHandshake(PortalResult& r) {
  if (mode_ != Mode::kWaiting) return;
  if (r.outcome == PortalOutcome::kStarted) {
    // Each start hands out a new token (the old one is spent); none means nothing is to be kept.
    WriteRestoreToken(tokenPath_, r.restoreToken);
    capture_ = std::make_unique<PipeWireCapture>(r.fd, std::move(r.streams), [fd = wakeFd_] {
      // On PipeWire's thread: the rest happens on this one.
      const std::uint64_t one = 1;
      if (fd >= 0 && ::write(fd, &one, sizeof one) < 0) {
        // A full counter already wakes the reader.
      }
    });
    if (!capture_->Ended()) {
      mode_ = Mode::kLive;
      retried_ = false;  // should this session end too, the next activation tries once more
      return;
    }
    capture_.reset();
    r.outcome = PortalOutcome::kFailed;
    r.detail = QStringLiteral("cannot connect to PipeWire");
  }
  if (r.tokenRefused) WriteRestoreToken(tokenPath_, std::string());
  mode_ = Mode::kFallback;
  if (toldFallback_) return;
  toldFallback_ = true;
  switch (r.outcome) {
    case PortalOutcome::kCancelled:
      Tell(kCancelled, QStringLiteral("screen sharing was not allowed; only X11 windows can be read"));
      break;
    case PortalOutcome::kNoCursorMetadata:
      Tell(kNoMetadata, QStringLiteral("this desktop's screen-cast portal gives no pointer position (%1); only X11 "
                                       "windows can be read (GNOME and KDE Plasma sample live)")
                            .arg(r.detail));
      break;
    default:
      Tell(kNoPortal,
           QStringLiteral("live sampling through the screen-cast portal is not available (%1); only X11 windows can "
                          "be read")
               .arg(r.detail));
      break;
  }
}

void PortalScreen::OnStreamEnded() {
  if (mode_ != Mode::kLive) return;
  mode_ = Mode::kEnded;
  capture_.reset();
  if (session_) session_->Close(false);
  if (toldEnded_) return;
  toldEnded_ = true;
  Tell(kEnded, QStringLiteral("screen sharing ended; colours cannot be read until it is started again, which is "
                              "tried the next time the window is activated"));
}

void PortalScreen::OnActivated() {
  if (mode_ != Mode::kEnded || retried_) return;
  retried_ = true;
  BeginSession();
}

void PortalScreen::Tell(const char16_t* message, const QString& english) {
  std::fprintf(stderr, "tintvale: %s\n", english.toLocal8Bit().constData());
  std::fflush(stderr);
  // Not modal: the main window goes on sampling and its close box still ends the program.
  delete box_.data();
  auto* box = new QMessageBox();
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setIcon(QMessageBox::NoIcon);
  box->setWindowTitle(QStringLiteral("Tintvale"));
  box->setText(Q(message));
  box->setTextFormat(Qt::PlainText);
  box->setStandardButtons(QMessageBox::Ok);
  if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->setIcon(QIcon());
  box->setModal(false);
  box->show();
  box_ = box;
}

}  // namespace tintvale::qt
