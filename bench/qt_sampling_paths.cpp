// Where a sample's time goes inside a Qt program: the floor's two round trips (query_pointer, 1x1
// get_image) made from a 10 ms QTimer, alternately on Qt's own xcb connection, whose reader thread
// also wakes for every reply, and on a private connection. Prints median and p90 µs of each path.
// Usage: qt_sampling_paths [SAMPLES_PER_PATH]   (default 1000)
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/figures.h"
#include "bench/xcb_sample.h"

using namespace tintvale::bench;

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  long samples = argc > 1 ? std::atol(argv[1]) : 1000;
  auto* x11 = app.nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* qtConn = x11 ? x11->connection() : nullptr;
  if (!qtConn) {
    std::fprintf(stderr, "not on X11\n");
    return 1;
  }
  xcb_window_t root = 0;
  int width = 0, height = 0;
  XcbConnection own = Connect(root, width, height);
  if (!own) return 1;
  QWidget window;
  window.setFixedSize(282, 60);
  window.show();

  std::vector<double> viaQt, viaOwn;
  QTimer timer;
  long tick = 0;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    int x = 0, y = 0;
    std::uint32_t px = 0;
    bool qtTurn = (tick++ % 2) == 0;
    double t0 = Now();
    SampleOnce(qtTurn ? qtConn : own.get(), root, x, y, px);
    (qtTurn ? viaQt : viaOwn).push_back((Now() - t0) * 1e6);
    if (static_cast<long>(viaOwn.size()) >= samples) QApplication::quit();
  });
  timer.start(10);
  QApplication::exec();
  Summary q = Summarise(viaQt), o = Summarise(viaOwn);
  std::printf("qt_connection_us median %.1f p90 %.1f n %zu\n", q.median, q.p90, q.count);
  std::printf("own_connection_us median %.1f p90 %.1f n %zu\n", o.median, o.p90, o.count);
  return 0;
}
