// The Win32 toolkit (under Wine): timers that do not nest and stop, a window closed inside a tick's pump,
// a pump inside a menu's loop, the event loop's quit, and the clipboard with another holder.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/wine/backend_support.h"

namespace tintvale::win32 {
namespace {

TEST_F(Win32Backend, TimerTicksDoNotNestWhileATickPumps) {
  Recorder events;
  int depth = 0, maxDepth = 0, ticks = 0;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  events.onTick = [&](int) {
    ++depth, ++ticks;
    maxDepth = std::max(maxDepth, depth);
    // Longer than the interval, handling events all the while, as the sampling tick does.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 40) {
      platform->Toolkit().PumpEvents();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    --depth;
  };
  w->SetTimer(kTimer, true, 10);
  ASSERT_TRUE(WaitFor(platform->Toolkit(), [&] { return ticks >= 4; }));
  w->SetTimer(kTimer, false, 10);
  EXPECT_EQ(maxDepth, 1);
}

TEST_F(Win32Backend, StoppedTimerTicksNoMore) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  int ticks = 0;
  events.onTick = [&](int) { ++ticks; };
  w->SetTimer(kTimer, true, 10);
  ASSERT_TRUE(WaitFor(platform->Toolkit(), [&] { return ticks >= 2; }));
  w->SetTimer(kTimer, false, 10);
  platform->Toolkit().PumpEvents();  // a tick already posted may still come once
  const int stoppedAt = ticks;
  // Another timer of the same window shows time has passed without a tick of the stopped one.
  int other = 0;
  events.onTick = [&](int) { ++other; };
  w->SetTimer(kTimer2, true, 10);
  ASSERT_TRUE(WaitFor(platform->Toolkit(), [&] { return other >= 5; }));
  EXPECT_EQ(ticks, stoppedAt);
  EXPECT_EQ(events.Count("tick 6") + 5, ticks + 5);
}

TEST_F(Win32Backend, WindowClosedInsideATicksPumpIsDestroyedSafelyAndTheLoopStillEnds) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  HWND hwnd = WindowHandle(*w);
  bool tickReturned = false;
  events.onClose = [&] {
    w.reset();  // what the forms layer does on unload, while the tick below is still on the stack
    platform->Toolkit().Quit();
  };
  events.onTick = [&](int) {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    platform->Toolkit().PumpEvents();  // handles the close; must give WM_QUIT back for the loop
    tickReturned = true;
  };
  w->SetTimer(kTimer, true, 10);
  // A stray loop would hang the test: a thread timer ends it with a failure instead.
  const UINT_PTR guard = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); });
  const int status = platform->Toolkit().Run();
  KillTimer(nullptr, guard);
  EXPECT_EQ(status, 0) << "99: the loop never saw the quit";
  EXPECT_TRUE(tickReturned);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(events.Count("close"), 1);
}

TEST_F(Win32Backend, QuitBeforeRunMakesRunReturnAtOnce) {
  platform->Toolkit().Quit();
  const UINT_PTR guard = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); });
  EXPECT_EQ(platform->Toolkit().Run(), 0);
  KillTimer(nullptr, guard);
}

TEST_F(Win32Backend, ClipboardTakesTheTextAndGivesUpWhileAnotherHolderKeepsItOpen) {
  const Text texts[] = {u"#A1B2C3", u"12,0,255", u"見本 ｶﾅ", u""};
  for (const Text& t : texts) {
    ASSERT_TRUE(platform->Toolkit().SetClipboardText(t)) << Show(t);
    EXPECT_EQ(ClipboardText(), Wide(t)) << Show(t);
  }

  // Another window holds the clipboard open for the whole attempt.
  HWND holder = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(OpenClipboard(holder));
  const DWORD start = GetTickCount();
  const bool ok = platform->Toolkit().SetClipboardText(u"#000000");
  const DWORD waited = GetTickCount() - start;
  CloseClipboard();
  DestroyWindow(holder);
  EXPECT_FALSE(ok);
  EXPECT_GE(waited, 90u) << "retries for about 100 ms first";
  EXPECT_EQ(ClipboardText(), L"") << "the earlier text is untouched";
}

// What the menu test's timer, which runs inside the menu's own loop, found.
struct InsideMenu {
  Toolkit* toolkit = nullptr;
  HWND box = nullptr;
  bool keyLeft = false;
  std::wstring boxText;
};
InsideMenu g_insideMenu;

// A tick runs inside a menu's loop too (a text box's context menu), and it pumps: the keys typed into the
// open menu must stay for the menu, or they would go to the box with the focus.
TEST_F(Win32Backend, KeysForAnOpenMenuStayWithItWhileATickPumps) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  w->SetText(kEdit, u"");
  w->SetFocus(kEdit);
  g_insideMenu = {&platform->Toolkit(), Child(*w, kEdit), false, L""};
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 1, L"&Copy");
  SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostMessageW(g_insideMenu.box, WM_KEYDOWN, 'X', 1);  // as the keyboard gives it: to the focus
    PostMessageW(g_insideMenu.box, WM_CHAR, 'x', 1);
    g_insideMenu.toolkit->PumpEvents();
    MSG m;
    g_insideMenu.keyLeft = PeekMessageW(&m, g_insideMenu.box, WM_KEYDOWN, WM_CHAR, PM_NOREMOVE) != FALSE;
    wchar_t text[16] = {};
    GetWindowTextW(g_insideMenu.box, text, 16);
    g_insideMenu.boxText = text;
    EndMenu();
  });
  TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, WindowHandle(*w), nullptr);
  DestroyMenu(menu);
  MSG m;
  while (PeekMessageW(&m, g_insideMenu.box, WM_KEYDOWN, WM_CHAR, PM_REMOVE)) {
  }
  EXPECT_TRUE(g_insideMenu.keyLeft) << "the pump took the menu's key";
  EXPECT_EQ(g_insideMenu.boxText, L"");
}

}  // namespace
}  // namespace tintvale::win32
