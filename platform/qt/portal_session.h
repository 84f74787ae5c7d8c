// The screen-cast portal's handshake over the session bus (org.freedesktop.portal.ScreenCast), run
// asynchronously on the user-interface thread: CreateSession, SelectSources (monitors, cursor
// metadata, a persistent permission with the last run's token), Start and OpenPipeWireRemote. It reports
// once how it ended; the session stays open until Close or destruction.
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <string>
#include <vector>

#include "platform/qt/pipewire_stream.h"

namespace tintvale::qt {

enum class PortalOutcome {
  kStarted,
  kNoPortal,          // no portal on the bus, or it has no screen-cast interface
  kTooOld,            // its screen-cast interface has no cursor modes
  kNoCursorMetadata,  // the desktop cannot send the pointer's position with the frames
  kCancelled,         // the user said no in the desktop's chooser
  kFailed,            // any other refusal or error
};

struct PortalResult {
  PortalOutcome outcome = PortalOutcome::kFailed;
  int fd = -1;  // the PipeWire connection, owned by the receiver when started
  std::vector<PipeWireCapture::Stream> streams;
  std::string restoreToken;   // what to offer next time; empty: keep none
  bool tokenRefused = false;  // the offered token was turned down and has been dropped
  QString detail;             // for the English line on stderr
};

class PortalSession : public QObject {
  Q_OBJECT

 public:
  using Done = std::function<void(PortalResult&)>;
  // closed runs when the portal closes a started session (the desktop stopped sharing).
  PortalSession(std::string restoreToken, Done done, std::function<void()> closed);
  ~PortalSession() override;  // closes the session

  void Begin();
  // Ends the portal session (Close on its Session object). wait: for at most a moment for the reply, so
  // it is sent before the program ends.
  void Close(bool wait);

 private Q_SLOTS:
  void OnResponse(uint code, const QVariantMap& results);
  void OnSessionClosed(const QVariantMap& details);

 private:
  enum class Step { kIdle, kCreate, kSelect, kStart, kDone };
  void CreateSession();
  void SelectSources();
  void Start();
  void OpenRemote();
  void Finish(PortalOutcome outcome, const QString& detail);
  // Calls a portal method that answers through a Request object's Response signal.
  void Request(Step step, const QString& method, const QList<QVariant>& args, const QString& handleToken);
  QString NewToken();
  void Unsubscribe();

  std::string token_;
  Done done_;
  std::function<void()> closed_;
  Step step_ = Step::kIdle;
  QString requestPath_;
  QString sessionPath_;
  bool tokenRefused_ = false;
  bool triedWithoutToken_ = false;
  int counter_ = 0;
  std::vector<PipeWireCapture::Stream> pendingStreams_;  // from Start, until the remote is open
  std::string pendingToken_;
};

// mutter's word that the monitors changed (org.gnome.Mutter.DisplayConfig MonitorsChanged on the session
// bus): on GNOME every such change ends the screen casts, also one that XWayland's monitors do not show
// (a new scale in the physical layout mode). Elsewhere it never comes.
class MonitorsChangedWatch : public QObject {
  Q_OBJECT

 public:
  explicit MonitorsChangedWatch(std::function<void()> changed);
  ~MonitorsChangedWatch() override;

 private Q_SLOTS:
  void OnMonitorsChanged();

 private:
  std::function<void()> changed_;
};

}  // namespace tintvale::qt
