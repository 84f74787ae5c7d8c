#include "platform/portal/session.h"

#include <fcntl.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QRandomGenerator>

namespace tintvale::portal {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kObject = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");

// Method calls return at once (the chooser answers later through Response); a portal that is being
// started by the bus may take a few seconds.
constexpr int kCallTimeoutMs = 10000;

constexpr std::uint32_t kMonitorSources = 1;
constexpr std::uint32_t kCursorMetadata = 4;
constexpr std::uint32_t kPersistUntilRevoked = 2;

bool ReadPair(const QVariant& v, std::int32_t& a, std::int32_t& b) {
  if (!v.canConvert<QDBusArgument>()) return false;
  const QDBusArgument arg = v.value<QDBusArgument>();
  int x = 0, y = 0;
  arg.beginStructure();
  arg >> x >> y;
  arg.endStructure();
  a = x;
  b = y;
  return true;
}

// Start's "streams": a(ua{sv}), each a PipeWire node with what the desktop says of its place.
std::vector<PipeWireCapture::Stream> ReadStreams(const QVariant& v) {
  std::vector<PipeWireCapture::Stream> streams;
  if (!v.canConvert<QDBusArgument>()) return streams;
  const QDBusArgument arg = v.value<QDBusArgument>();
  arg.beginArray();
  while (!arg.atEnd()) {
    uint node = 0;
    QVariantMap props;
    arg.beginStructure();
    arg >> node >> props;
    arg.endStructure();
    PipeWireCapture::Stream s;
    s.node = node;
    // KDE sends no position: its streams are placed by their size.
    s.portal.hasPosition = ReadPair(props.value(QStringLiteral("position")), s.portal.x, s.portal.y);
    ReadPair(props.value(QStringLiteral("size")), s.portal.width, s.portal.height);
    streams.push_back(s);
  }
  arg.endArray();
  return streams;
}

}  // namespace

PortalSession::PortalSession(std::string restoreToken, Done done, std::function<void()> closed)
    : token_(std::move(restoreToken)), done_(std::move(done)), closed_(std::move(closed)) {}

PortalSession::~PortalSession() {
  Unsubscribe();
  Close(true);
}

QString PortalSession::NewToken() {
  return QStringLiteral("tintvale%1_%2").arg(++counter_).arg(QRandomGenerator::global()->generate());
}

void PortalSession::Begin() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    Finish(PortalOutcome::kNoPortal, QStringLiteral("no session bus"));
    return;
  }
  step_ = Step::kCreate;
  QDBusMessage m = QDBusMessage::createMethodCall(kService, kObject, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                  QStringLiteral("GetAll"));
  m << kScreenCast;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(m, kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    QDBusPendingReply<QVariantMap> reply = *w;
    if (reply.isError()) {
      Finish(PortalOutcome::kNoPortal, reply.error().name() + QStringLiteral(": ") + reply.error().message());
      return;
    }
    const QVariantMap props = reply.value();
    const uint version = props.value(QStringLiteral("version")).toUInt();
    // Cursor modes came with version 2; before that the pointer cannot be had at all.
    if (version < 2 || !props.contains(QStringLiteral("AvailableCursorModes"))) {
      Finish(PortalOutcome::kTooOld, QStringLiteral("screen-cast portal version %1").arg(version));
      return;
    }
    const uint modes = props.value(QStringLiteral("AvailableCursorModes")).toUInt();
    if (!(modes & kCursorMetadata)) {
      Finish(PortalOutcome::kNoCursorMetadata, QStringLiteral("available cursor modes %1").arg(modes));
      return;
    }
    // Persistent permissions came with version 4: an older portal would refuse the options.
    if (version < 4) token_.clear();
    CreateSession();
  });
}

void PortalSession::CreateSession() {
  QVariantMap options;
  const QString handle = NewToken();
  options.insert(QStringLiteral("handle_token"), handle);
  options.insert(QStringLiteral("session_handle_token"), NewToken());
  Request(Step::kCreate, QStringLiteral("CreateSession"), {options}, handle);
}

void PortalSession::SelectSources() {
  QVariantMap options;
  const QString handle = NewToken();
  options.insert(QStringLiteral("handle_token"), handle);
  options.insert(QStringLiteral("types"), kMonitorSources);
  options.insert(QStringLiteral("multiple"), true);
  options.insert(QStringLiteral("cursor_mode"), kCursorMetadata);
  options.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
  if (!token_.empty()) options.insert(QStringLiteral("restore_token"), QString::fromStdString(token_));
  Request(Step::kSelect, QStringLiteral("SelectSources"), {QVariant::fromValue(QDBusObjectPath(sessionPath_)), options},
          handle);
}

void PortalSession::Start() {
  QVariantMap options;
  const QString handle = NewToken();
  options.insert(QStringLiteral("handle_token"), handle);
  Request(Step::kStart, QStringLiteral("Start"),
          {QVariant::fromValue(QDBusObjectPath(sessionPath_)), QString(), options}, handle);
}

void PortalSession::Request(Step step, const QString& method, const QList<QVariant>& args, const QString& handleToken) {
  step_ = step;
  QDBusConnection bus = QDBusConnection::sessionBus();
  // The Response may come before the call's reply, so the signal is subscribed to on the path the
  // portal will use: the caller's unique name without ':' and with '.' as '_', then the handle token.
  QString sender = bus.baseService().mid(1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  Unsubscribe();
  requestPath_ = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, handleToken);
  bus.connect(QString(), requestPath_, kRequest, QStringLiteral("Response"), this, SLOT(OnResponse(uint, QVariantMap)));
  QDBusMessage m = QDBusMessage::createMethodCall(kService, kObject, kScreenCast, method);
  m.setArguments(args);
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(m, kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, step](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    if (step_ != step) return;
    QDBusPendingReply<QDBusObjectPath> reply = *w;
    if (reply.isError()) {
      // The portal turned the call down before asking anyone: with a token, that may be the token.
      if (step == Step::kSelect && !token_.empty() && !triedWithoutToken_) {
        tokenRefused_ = true;
        triedWithoutToken_ = true;
        token_.clear();
        SelectSources();
        return;
      }
      Finish(PortalOutcome::kFailed, reply.error().name() + QStringLiteral(": ") + reply.error().message());
      return;
    }
    const QString path = reply.value().path();
    if (path != requestPath_) {
      // An older portal that chose its own request path.
      QDBusConnection bus2 = QDBusConnection::sessionBus();
      Unsubscribe();
      requestPath_ = path;
      bus2.connect(QString(), requestPath_, kRequest, QStringLiteral("Response"), this,
                   SLOT(OnResponse(uint, QVariantMap)));
    }
  });
}

void PortalSession::Unsubscribe() {
  if (requestPath_.isEmpty()) return;
  QDBusConnection::sessionBus().disconnect(QString(), requestPath_, kRequest, QStringLiteral("Response"), this,
                                           SLOT(OnResponse(uint, QVariantMap)));
  requestPath_.clear();
}

void PortalSession::OnResponse(uint code, const QVariantMap& results) {
  const Step step = step_;
  Unsubscribe();
  if (code == 1) {
    Finish(PortalOutcome::kCancelled, QStringLiteral("the screen-sharing request was cancelled"));
    return;
  }
  if (code != 0) {
    // A refused token closes the session: a new one without it lets the desktop ask again.
    if ((step == Step::kSelect || step == Step::kStart) && !token_.empty() && !triedWithoutToken_) {
      tokenRefused_ = true;
      triedWithoutToken_ = true;
      token_.clear();
      sessionPath_.clear();
      CreateSession();
      return;
    }
    Finish(PortalOutcome::kFailed, QStringLiteral("the portal answered %1").arg(code));
    return;
  }
  switch (step) {
    case Step::kCreate: {
      sessionPath_ = results.value(QStringLiteral("session_handle")).toString();
      if (sessionPath_.isEmpty()) {
        Finish(PortalOutcome::kFailed, QStringLiteral("no session handle"));
        return;
      }
      QDBusConnection::sessionBus().connect(QString(), sessionPath_, kSession, QStringLiteral("Closed"), this,
                                            SLOT(OnSessionClosed(QVariantMap)));
      SelectSources();
      return;
    }
    case Step::kSelect: Start(); return;
    case Step::kStart: {
      PortalResult r;
      r.streams = ReadStreams(results.value(QStringLiteral("streams")));
      r.restoreToken = results.value(QStringLiteral("restore_token")).toString().toStdString();
      if (r.streams.empty()) {
        Finish(PortalOutcome::kFailed, QStringLiteral("no monitor was shared"));
        return;
      }
      pendingStreams_ = std::move(r.streams);
      pendingToken_ = std::move(r.restoreToken);
      OpenRemote();
      return;
    }
    case Step::kIdle:
    case Step::kDone: return;
  }
}

void PortalSession::OpenRemote() {
  step_ = Step::kDone;
  QDBusMessage m = QDBusMessage::createMethodCall(kService, kObject, kScreenCast, QStringLiteral("OpenPipeWireRemote"));
  m.setArguments({QVariant::fromValue(QDBusObjectPath(sessionPath_)), QVariantMap()});
  auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(m, kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
    if (reply.isError() || !reply.value().isValid()) {
      Finish(PortalOutcome::kFailed, reply.isError() ? reply.error().message() : QStringLiteral("no PipeWire remote"));
      return;
    }
    // The reply's descriptor is closed with it: the receiver gets its own.
    PortalResult r;
    r.outcome = PortalOutcome::kStarted;
    r.fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 3);
    r.streams = std::move(pendingStreams_);
    r.restoreToken = std::move(pendingToken_);
    r.tokenRefused = tokenRefused_;
    if (r.fd < 0) {
      Finish(PortalOutcome::kFailed, QStringLiteral("could not keep the PipeWire remote"));
      return;
    }
    if (done_) done_(r);
  });
}

void PortalSession::Finish(PortalOutcome outcome, const QString& detail) {
  step_ = Step::kDone;
  Unsubscribe();
  Close(false);
  PortalResult r;
  r.outcome = outcome;
  r.tokenRefused = tokenRefused_;
  r.detail = detail;
  if (done_) done_(r);
}

void PortalSession::OnSessionClosed(const QVariantMap& /*details*/) {
  sessionPath_.clear();  // already closed by the portal
  if (closed_) closed_();
}

void PortalSession::Close(bool wait) {
  if (sessionPath_.isEmpty()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.disconnect(QString(), sessionPath_, kSession, QStringLiteral("Closed"), this, SLOT(OnSessionClosed(QVariantMap)));
  QDBusMessage m = QDBusMessage::createMethodCall(kService, sessionPath_, kSession, QStringLiteral("Close"));
  sessionPath_.clear();
  if (wait) {
    // The program is ending: waited for (briefly), so the portal has it before the connection goes.
    bus.call(m, QDBus::Block, 1000);
  } else {
    bus.asyncCall(m, kCallTimeoutMs);
  }
}

namespace {
const QString kDisplayConfig = QStringLiteral("org.gnome.Mutter.DisplayConfig");
const QString kDisplayConfigPath = QStringLiteral("/org/gnome/Mutter/DisplayConfig");
}  // namespace

MonitorsChangedWatch::MonitorsChangedWatch(std::function<void()> changed) : changed_(std::move(changed)) {
  QDBusConnection::sessionBus().connect(kDisplayConfig, kDisplayConfigPath, kDisplayConfig,
                                        QStringLiteral("MonitorsChanged"), this, SLOT(OnMonitorsChanged()));
}

MonitorsChangedWatch::~MonitorsChangedWatch() {
  QDBusConnection::sessionBus().disconnect(kDisplayConfig, kDisplayConfigPath, kDisplayConfig,
                                           QStringLiteral("MonitorsChanged"), this, SLOT(OnMonitorsChanged()));
}

void MonitorsChangedWatch::OnMonitorsChanged() {
  if (changed_) changed_();
}

}  // namespace tintvale::portal
