// The Qt toolkit in-process: a window destroyed inside its own tick's pump, and the event loop's end.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "tests/qt/qt_test_support.h"

namespace tintvale::qt {
namespace {

TEST_F(QtBackend, WindowDestroyedInsideItsOwnTicksPumpIsSilencedAndDeletedLater) {
  Recorder rec;
  std::unique_ptr<NativeWindow> window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
  QPointer<QWidget> widget = WindowWidget(*window);
  window->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(widget.data()));
  QPointer<QWindow> handle = widget->windowHandle();

  bool destroyed = false;
  int ticksAfterDestroy = 0;
  bool widgetAliveRightAfterPump = false;
  rec.onClose = [&] {
    window.reset();  // what the runtime does when the window unloads
    destroyed = true;
  };
  rec.onTick = [&](int) {
    if (destroyed) {
      ++ticksAfterDestroy;
      return;
    }
    // A close request waiting in the queue, as from the close box, handled by the tick's own pump.
    QCoreApplication::postEvent(handle.data(), new QCloseEvent);
    g_platform->Toolkit().PumpEvents();
    widgetAliveRightAfterPump = !widget.isNull();
  };
  window->SetTimer(kTimer, true, 10);
  ASSERT_TRUE(QTest::qWaitFor([&] { return destroyed; }, 5000));
  EXPECT_TRUE(widgetAliveRightAfterPump) << "deleted while its handler was still on the stack";
  EXPECT_TRUE(QTest::qWaitFor([&] { return widget.isNull(); }, 5000)) << "never deleted after the handler returned";
  EXPECT_EQ(ticksAfterDestroy, 0);
  EXPECT_EQ(rec.closes, 1);
}

TEST_F(QtBackend, QuitBeforeTheLoopStartsMakesRunReturnAtOnce) {
  g_platform->Toolkit().Quit();
  EXPECT_EQ(g_platform->Toolkit().Run(), 0);
}

}  // namespace
}  // namespace tintvale::qt
