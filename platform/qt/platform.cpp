// CreatePlatform for Linux: starts Qt on X11 (XWayland in a Wayland session) and gathers the services; on
// a Wayland desktop the screen is read through the screen-cast portal (platform/portal/screen.h).
#include <xcb/xcb.h>

#include <QApplication>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/portal/screen.h"
#include "platform/qt/notice_box.h"
#include "platform/qt/randr_layout.h"
#include "platform/qt/system.h"
#include "platform/qt/toolkit.h"
#include "platform/regfile/reg_store.h"
#include "platform/x11/screen.h"

namespace tintvale {
namespace {

bool EnvSet(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

bool EnvIs(const char* name, const char* value) {
  const char* v = std::getenv(name);
  return v && std::strcmp(v, value) == 0;
}

// The screen-cast portal on a Wayland desktop, X11 otherwise; TINTVALE_SCREEN=portal or x11 decides.
bool UsePortal() {
  if (EnvIs("TINTVALE_SCREEN", "portal")) return true;
  if (EnvIs("TINTVALE_SCREEN", "x11")) return false;
  return EnvIs("XDG_SESSION_TYPE", "wayland") || EnvSet("WAYLAND_DISPLAY");
}

// True when an X server answers on $DISPLAY. Qt aborts when no platform plugin can start, so the
// program looks first and says so itself.
bool XServerReachable() {
  if (!EnvSet("DISPLAY")) return false;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  const bool ok = xcb_connection_has_error(c) == 0;
  xcb_disconnect(c);
  return ok;
}

class QtPlatform : public Platform {
 public:
  QtPlatform(int& argc, char** argv, const QByteArray& displayName, QStringList arguments)
      : app_(argc, argv),
        toolkit_(std::move(arguments)),
        screen_(Connection(), displayName.isEmpty() ? nullptr : displayName.constData()),
        registry_(RegFileRegistry::XdgRegistryFiles()) {
    // Japanese captions in the default font take Japanese glyph forms whatever the locale: without a
    // named fallback, fontconfig picks the CJK face by LANG (Chinese forms under zh_CN).
    QFont font = QApplication::font();
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans Mono CJK JP")});
    QApplication::setFont(font);
    if (UsePortal()) {
      layout_ = std::make_unique<qt::RandrLayout>(displayName.isEmpty() ? nullptr : displayName.constData());
      portal_ = std::make_unique<portal::PortalScreen>(screen_, layout_.get(),
                                                       [this](const Text& message) { notices_.Show(message); });
      // After the sharing ended, the one new session waits for the user to come back to the main window.
      QObject::connect(&app_, &QGuiApplication::focusWindowChanged, &app_, [this](QWindow* window) {
        if (qt::IsMainWindow(window)) portal_->MainWindowActivated();
      });
    }
  }

  tintvale::Toolkit& Toolkit() override { return toolkit_; }
  tintvale::ScreenServices& ScreenServices() override {
    return portal_ ? static_cast<tintvale::ScreenServices&>(*portal_) : screen_;
  }
  bool Portal() const { return portal_ != nullptr; }
  tintvale::Registry& Registry() override { return registry_; }
  tintvale::ProcessStarter& ProcessStarter() override { return processes_; }
  tintvale::FileTest& FileTest() override { return files_; }
  tintvale::MessageDialog& MessageDialog() override { return messages_; }

 private:
  xcb_connection_t* Connection() {
    // Under the offscreen and Wayland plugins the interface may exist while the connection is null.
    auto* x11 = app_.nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
  }

  // The application first and its windows' toolkit after it: destroyed in the reverse order.
  QApplication app_;
  qt::QtToolkit toolkit_;
  x11::X11Screen screen_;
  std::unique_ptr<qt::RandrLayout> layout_;       // XWayland's monitors, where the portal's streams are placed
  qt::NoticeBox notices_;                         // what the portal screen tells the user
  std::unique_ptr<portal::PortalScreen> portal_;  // on Wayland desktops; it falls back to screen_
  RegFileRegistry registry_;
  qt::QtProcesses processes_;
  qt::QtFiles files_;
  qt::QtMessages messages_;
};

// argc must outlive QApplication, which keeps a reference to it.
int g_argc = 0;

// The display Qt's xcb plugin connects to: a -display (or --display) option, which QApplication takes
// out of the arguments, else $DISPLAY (empty).
QByteArray DisplayOption(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    const QByteArray arg(argv[i]);
    if (arg == "-display" || arg == "--display") return QByteArray(argv[i + 1]);
  }
  return QByteArray();
}

// The arguments after the program's name as the user gave them. Taken before QApplication takes out
// the options it acts on itself (-display, -name, -style, ...): the option scan sees the whole text, so
// "-display" counts as "-d" as it would anywhere else.
QStringList ArgumentsAsGiven(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  return arguments;
}

}  // namespace

std::unique_ptr<Platform> CreatePlatform(int argc, char** argv) {
  const bool platformChosen = EnvSet("QT_QPA_PLATFORM");
  if (!platformChosen) {
    // A Wayland session then runs the program on XWayland, where the screen can be read.
    if (!XServerReachable() && !EnvSet("WAYLAND_DISPLAY")) {
      std::fprintf(stderr, "tintvale: cannot open a display: no X server answers on DISPLAY=%s\n",
                   EnvSet("DISPLAY") ? std::getenv("DISPLAY") : "(unset)");
      return nullptr;
    }
    qputenv("QT_QPA_PLATFORM", "xcb;wayland");
  } else if (qgetenv("QT_QPA_PLATFORM") == "xcb" && !XServerReachable()) {
    std::fprintf(stderr, "tintvale: cannot open a display: no X server answers on DISPLAY=%s\n",
                 EnvSet("DISPLAY") ? std::getenv("DISPLAY") : "(unset)");
    return nullptr;
  }
  g_argc = argc;
  // Without shared memory for the window pictures: with it, Qt's xcb plugin waits for the X server to
  // finish reading the last picture before it paints the same area again, a round trip on every tick,
  // since the swatch and the coordinates repaint the same small areas 100 times a second. Those areas
  // cost less sent over the connection. Read once, when Qt connects; a user's own setting is kept, and
  // programs started from here get the environment as it was.
  const bool shmChosen = qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM");
  if (!shmChosen) qputenv("QT_XCB_NO_MITSHM", "1");
  const QByteArray displayName = DisplayOption(argc, argv);
  auto platform = std::make_unique<QtPlatform>(g_argc, argv, displayName, ArgumentsAsGiven(argc, argv));
  if (!shmChosen) qunsetenv("QT_XCB_NO_MITSHM");
  const QString name = QGuiApplication::platformName();
  if (name.startsWith(QLatin1String("wayland")) && !platform->Portal()) {
    std::fputs("tintvale: running as a Wayland client: the screen's pixels and the pointer cannot be read\n", stderr);
  } else if (name == QLatin1String("xcb") && EnvSet("WAYLAND_DISPLAY") && !platform->Portal()) {
    std::fputs("tintvale: Wayland session: pixels of Wayland-native windows cannot be read (they read as black)\n",
               stderr);
  }
  return platform;
}

}  // namespace tintvale
