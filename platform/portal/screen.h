// Screen services on a Wayland desktop: the pointer and the pixels from the screen-cast portal's
// PipeWire streams, started asynchronously when the screen is taken and ended when it is given back.
// Until the streams deliver, reads fail; when live reading cannot work (also when the streams turn out to
// carry no pointer) the fallback (X11 through XWayland) answers instead and the user is told once. After a
// display change ends the sharing, one new session starts by itself.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/portal/display_layout.h"
#include "platform/portal/pipewire_stream.h"
#include "platform/portal/restore_token.h"
#include "platform/portal/session.h"

namespace tintvale::portal {

class PortalScreen : public ScreenServices {
 public:
  // layout: the monitors of the X server the window lives on, which must outlive this; null: none known.
  // notice: shows the user a message without blocking (the toolkit backend's message box); each is also
  // said in English on stderr.
  PortalScreen(ScreenServices& fallback, DisplayLayout* layout, std::function<void(const Text&)> notice);
  ~PortalScreen();
  PortalScreen(const PortalScreen&) = delete;
  PortalScreen& operator=(const PortalScreen&) = delete;

  std::unique_ptr<ScreenContext> GetScreen() override;
  bool CursorPos(ScreenPoint& point) override;
  // A Wayland client cannot move the pointer: always false.
  bool MovePointer(ScreenPoint point) override;

  // The user came back to the main window: after the sharing ended, the one new session starts now.
  void MainWindowActivated();

  // The live streams, or null (for the benchmark).
  PipeWireCapture* Capture() { return capture_.get(); }

 private:
  friend class PortalScreenContext;
  enum class Mode { kIdle, kWaiting, kLive, kEnded, kFallback };
  using Clock = std::chrono::steady_clock;
  void BeginSession();
  void EndSession();
  void OnHandshake(PortalResult& result);
  void OnCaptureChanged();
  void CheckPointer();
  void FallBack(PortalOutcome outcome, const QString& detail);
  void OnStreamEnded();
  void OnDisplayChanged();
  void Resume();
  void TellEnded();
  void Tell(const char16_t* message, const QString& english);
  std::vector<LayoutMonitor> Layout();

  ScreenServices& fallback_;
  DisplayLayout* layout_;
  std::function<void(const Text&)> notice_;
  std::unique_ptr<ScreenContext> fallbackScreen_;
  QObject events_;  // receives what the application reports
  // PipeWire's thread tells this one that the streams changed by writing to an eventfd: a plain system
  // call, with no Qt object shared between the threads.
  int wakeFd_ = -1;
  std::unique_ptr<QSocketNotifier> wake_;
  Mode mode_ = Mode::kIdle;
  bool retried_ = false;  // the one new session after the streams ended has been tried
  bool toldEnded_ = false;
  bool toldFallback_ = false;
  std::string tokenPath_;
  std::unique_ptr<PortalSession> session_;
  std::unique_ptr<PipeWireCapture> capture_;

  QTimer pointerCheck_;  // the verdict on a pointer that has not come, once its time is up
  // After the sharing ended: a display change reported within a moment makes it a resume, else the
  // user is told.
  QTimer tellEnded_;
  QTimer resume_;  // the new session, once the new layout has settled
  std::unique_ptr<MonitorsChangedWatch> monitorsChanged_;
  bool displayChanged_ = false;
  Clock::time_point lastDisplayChange_;
  std::deque<Clock::time_point> resumes_;  // the automatic resumes of the last minute
};

}  // namespace tintvale::portal
