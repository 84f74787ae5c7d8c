// Screen services on a Wayland desktop: the pointer and the pixels from the screen-cast portal's
// PipeWire streams, started asynchronously when the screen is taken and ended when it is given back.
// Until the streams deliver, reads fail; when live reading cannot work the fallback (X11 through
// XWayland) answers instead and the user is told once.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <memory>
#include <string>

#include "platform/qt/pipewire_stream.h"
#include "platform/qt/portal_session.h"
#include "platform/services.h"

class QMessageBox;

namespace tintvale::qt {

class PortalScreen : public ScreenServices {
 public:
  explicit PortalScreen(ScreenServices& fallback);
  ~PortalScreen();
  PortalScreen(const PortalScreen&) = delete;
  PortalScreen& operator=(const PortalScreen&) = delete;

  std::unique_ptr<ScreenContext> GetScreen() override;
  bool CursorPos(ScreenPoint& point) override;
  // A Wayland client cannot move the pointer: always false.
  bool MovePointer(ScreenPoint point) override;

  // The live streams, or null (for the benchmark).
  PipeWireCapture* Capture() { return capture_.get(); }

 private:
  friend class PortalScreenContext;
  enum class Mode { kIdle, kWaiting, kLive, kEnded, kFallback };
  void BeginSession();
  void EndSession();
  void OnHandshake(PortalResult& result);
  void OnStreamEnded();
  void OnActivated();
  void Tell(const char16_t* message, const QString& english);

  ScreenServices& fallback_;
  std::unique_ptr<ScreenContext> fallbackScreen_;
  QObject events_;  // receives what the application reports
  // PipeWire's thread tells this one that the streams ended by writing to an eventfd: a plain system
  // call, with no Qt object shared between the threads.
  int wakeFd_ = -1;
  std::unique_ptr<QSocketNotifier> wake_;
  Mode mode_ = Mode::kIdle;
  bool retried_ = false;      // the one new session after the streams ended has been tried
  bool toldEnded_ = false;
  bool toldFallback_ = false;
  std::string tokenPath_;
  std::unique_ptr<PortalSession> session_;
  std::unique_ptr<PipeWireCapture> capture_;
  QPointer<QMessageBox> box_;
};

}  // namespace tintvale::qt
