#include "platform/portal/screen.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace tintvale::portal {
namespace {

// In the style of the program's other message: what does not work, then what still does.
constexpr char16_t kNoPortal[] = u"現時点では画面の共有を使用できません。X11のｳｨﾝﾄﾞｳだけを読み取ります";
constexpr char16_t kCancelled[] = u"画面の共有が許可されませんでした。X11のｳｨﾝﾄﾞｳだけを読み取ります";
constexpr char16_t kNoMetadata[] =
    u"このﾃﾞｽｸﾄｯﾌﾟはﾏｳｽの位置を知らせないため、画面を続けて読み取れません。X11のｳｨﾝﾄﾞｳだけを読み取ります"
    u"（続けて読み取れるのはGNOMEとKDE Plasmaです）";
constexpr char16_t kEnded[] = u"画面の共有が終了しました。ｳｨﾝﾄﾞｳを再びｱｸﾃｨﾌﾞにすると再開します";

// A pointer position must come within this time after the first picture, where every monitor is shared.
// Desktops put the position into every picture while the pointer is on that monitor, so the first
// picture of a still screen already carries it.
constexpr std::int64_t kPointerGraceMs = 4000;
// How far apart the end of the sharing and the report of a display change may be to belong together.
constexpr int kDisplayChangeWindowMs = 2000;
// The new session after a display change waits this long after the last report of it, so it shares the
// new layout.
constexpr int kResumeSettleMs = 100;
constexpr std::size_t kMostResumesAMinute = 3;

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

PortalScreen::PortalScreen(ScreenServices& fallback, DisplayLayout* layout, std::function<void(const Text&)> notice)
    : fallback_(fallback), layout_(layout), notice_(std::move(notice)), tokenPath_(RestoreTokenPath()) {
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ >= 0) {
    wake_ = std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read);
    QObject::connect(wake_.get(), &QSocketNotifier::activated, &events_, [this] {
      std::uint64_t count = 0;
      while (::read(wakeFd_, &count, sizeof count) > 0) {
      }
      OnCaptureChanged();
    });
  }
  pointerCheck_.setSingleShot(true);
  QObject::connect(&pointerCheck_, &QTimer::timeout, &events_, [this] { CheckPointer(); });
  tellEnded_.setSingleShot(true);
  QObject::connect(&tellEnded_, &QTimer::timeout, &events_, [this] { TellEnded(); });
  resume_.setSingleShot(true);
  QObject::connect(&resume_, &QTimer::timeout, &events_, [this] {
    if (mode_ != Mode::kEnded) return;
    resumes_.push_back(Clock::now());
    BeginSession();
  });
  // Two signs of a display change: XWayland's monitors (any desktop) and mutter's own word (GNOME).
  if (layout_) layout_->OnChange([this] { OnDisplayChanged(); });
  monitorsChanged_ = std::make_unique<MonitorsChangedWatch>([this] { OnDisplayChanged(); });
}

PortalScreen::~PortalScreen() {
  if (layout_) layout_->OnChange(nullptr);
  monitorsChanged_.reset();
  EndSession();
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
    case Mode::kLive: {
      const bool known = capture_->Pointer(point);
      // Monitors of one size (KDE gives streams no position) are told apart where XWayland knows the
      // pointer too: over an X11 window, such as the program's own.
      ScreenPoint root;
      if (known && layout_ && capture_->Unsure() && layout_->PointerOverWindow(root)) capture_->Sight(root);
      return known;
    }
    case Mode::kFallback: return fallback_.CursorPos(point);
    default: return false;
  }
}

std::vector<LayoutMonitor> PortalScreen::Layout() {
  return layout_ ? layout_->Monitors() : std::vector<LayoutMonitor>{};
}

void PortalScreen::BeginSession() {
  mode_ = Mode::kWaiting;
  session_.reset();
  session_ = std::make_unique<PortalSession>(
      ReadRestoreToken(tokenPath_), [this](PortalResult& r) { OnHandshake(r); }, [this] { OnStreamEnded(); });
  session_->Begin();
}

void PortalScreen::EndSession() {
  pointerCheck_.stop();
  tellEnded_.stop();
  resume_.stop();
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
    capture_ = std::make_unique<PipeWireCapture>(r.fd, std::move(r.streams), Layout(), [fd = wakeFd_] {
      // On PipeWire's thread: the rest happens on this one.
      const std::uint64_t one = 1;
      if (fd >= 0 && ::write(fd, &one, sizeof one) < 0) {
        // A full counter already wakes the reader.
      }
    });
    if (!capture_->Ended()) {
      mode_ = Mode::kLive;
      retried_ = false;  // should this session end too, the next activation tries once more
      CheckPointer();
      return;
    }
    capture_.reset();
    r.outcome = PortalOutcome::kFailed;
    r.detail = QStringLiteral("cannot connect to PipeWire");
  }
  if (r.tokenRefused) WriteRestoreToken(tokenPath_, std::string());
  FallBack(r.outcome, r.detail);
}

void PortalScreen::FallBack(PortalOutcome outcome, const QString& detail) {
  mode_ = Mode::kFallback;
  pointerCheck_.stop();
  if (toldFallback_) return;
  toldFallback_ = true;
  switch (outcome) {
    case PortalOutcome::kCancelled:
      Tell(kCancelled, QStringLiteral("screen sharing was not allowed; only X11 windows can be read"));
      break;
    case PortalOutcome::kNoCursorMetadata:
      Tell(kNoMetadata, QStringLiteral("this desktop's screen-cast portal gives no pointer position (%1); only X11 "
                                       "windows can be read (GNOME and KDE Plasma sample live)")
                            .arg(detail));
      break;
    default:
      Tell(kNoPortal,
           QStringLiteral("live sampling through the screen-cast portal is not available (%1); only X11 windows can "
                          "be read")
               .arg(detail));
      break;
  }
}

void PortalScreen::OnCaptureChanged() {
  if (!capture_) return;
  if (capture_->Ended()) {
    OnStreamEnded();
    return;
  }
  CheckPointer();
}

// The buffers, not only the cursor modes the portal lists, tell whether the pointer comes: without
// metadata in them, or without any position in them for a while after the first picture, live reading
// shows one place and one colour for ever. Buffers whose metadata says "no cursor here" (id 0) are
// not a position: metadata that nobody fills in reads the same way.
void PortalScreen::CheckPointer() {
  if (mode_ != Mode::kLive || !capture_) return;
  const PointerEvidence e = capture_->Evidence();
  switch (JudgePointer(e, kPointerGraceMs)) {
    case PointerVerdict::kWorking: pointerCheck_.stop(); return;
    case PointerVerdict::kWaiting:
      if (e.frameSeen && e.everyMonitorShared && !pointerCheck_.isActive()) {
        pointerCheck_.start(static_cast<int>(std::max<std::int64_t>(0, kPointerGraceMs - e.msSinceFirstFrame)) + 1);
      }
      return;
    case PointerVerdict::kNoMetadata:
    case PointerVerdict::kNoPosition: break;
  }
  const bool missing = e.metaMissing;
  capture_.reset();
  if (session_) session_->Close(false);
  FallBack(
      PortalOutcome::kNoCursorMetadata,
      missing
          ? QStringLiteral("its streams carry no cursor metadata")
          : QStringLiteral("no pointer position came with the pictures within %1 seconds").arg(kPointerGraceMs / 1000));
}

void PortalScreen::OnStreamEnded() {
  if (mode_ != Mode::kLive) return;
  mode_ = Mode::kEnded;
  pointerCheck_.stop();
  capture_.reset();
  if (session_) session_->Close(false);
  // On GNOME every display change ends every screen cast, and XWayland or mutter may report the change
  // just before or just after the end.
  if (displayChanged_ && Clock::now() - lastDisplayChange_ < std::chrono::milliseconds(kDisplayChangeWindowMs)) {
    Resume();
    return;
  }
  tellEnded_.start(kDisplayChangeWindowMs);
}

void PortalScreen::OnDisplayChanged() {
  displayChanged_ = true;
  lastDisplayChange_ = Clock::now();
  if (capture_) capture_->SetLayout(Layout());
  if (mode_ != Mode::kEnded) return;
  if (tellEnded_.isActive()) {
    tellEnded_.stop();
    Resume();
  } else if (resume_.isActive()) {
    resume_.start();  // the layout is still changing: the new session waits for it to settle
  }
}

// One new session with the token, which the desktop grants without its chooser. Never a loop: each
// display change gives one, and a few in a minute are the most.
void PortalScreen::Resume() {
  const Clock::time_point now = Clock::now();
  while (!resumes_.empty() && now - resumes_.front() > std::chrono::minutes(1)) resumes_.pop_front();
  if (resumes_.size() >= kMostResumesAMinute) {
    TellEnded();
    return;
  }
  resume_.start(kResumeSettleMs);
}

void PortalScreen::TellEnded() {
  if (mode_ != Mode::kEnded || toldEnded_) return;
  toldEnded_ = true;
  Tell(kEnded, QStringLiteral("screen sharing ended; colours cannot be read until it is started again, which is "
                              "tried the next time the window is activated"));
}

void PortalScreen::MainWindowActivated() {
  // While a display change may still explain the end, or a resume is on its way, it waits.
  if (mode_ != Mode::kEnded || retried_ || tellEnded_.isActive() || resume_.isActive()) return;
  retried_ = true;
  BeginSession();
}

void PortalScreen::Tell(const char16_t* message, const QString& english) {
  std::fprintf(stderr, "tintvale: %s\n", english.toLocal8Bit().constData());
  std::fflush(stderr);
  if (notice_) notice_(Text(message));
}

}  // namespace tintvale::portal
