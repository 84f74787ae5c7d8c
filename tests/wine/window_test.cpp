// The form window on Win32 (under Wine): built from a layout at its twip places and in its tab order,
// the dialog keys, the focus it reports and gives back, clicks, a new scale, the close box and topmost.
#include <windows.h>

#include <gtest/gtest.h>

#include "main_window/form1.h"
#include "platform/win32/dpi.h"
#include "tests/wine/backend_support.h"

namespace tintvale::win32 {
namespace {

// Both backends place controls with TwipsToPixels; it must round as Windows itself does, halves and
// negative places included, at the scales a monitor may have.
TEST_F(Win32Backend, TwipsBecomePixelsAsWindowsRoundsThem) {
  for (int dpi : {96, 120, 144, 168, 192, 288}) {
    for (int twips = -3000; twips <= 3000; ++twips) {
      ASSERT_EQ(TwipsToPixels(twips, dpi), MulDiv(twips, dpi, 1440)) << twips << " twips at " << dpi << " dpi";
    }
  }
}

TEST_F(Win32Backend, Form1LayoutGivesAFixedClientAreaAndControlsAtTheirTwipPlaces) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(Form1Layout(), events, nullptr);
  ASSERT_TRUE(w);
  HWND hwnd = WindowHandle(*w);
  ASSERT_EQ(WindowDpi(nullptr), 96u) << "the pixel places below are for 96 dpi";
  RECT client;
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, 282);
  EXPECT_EQ(client.bottom, 60);
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) << std::hex << style;
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(IsWindowVisible(hwnd)) << "hidden until Show";
  EXPECT_TRUE(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0)) << "the program icon from the resources";

  EXPECT_FALSE(Child(*w, Timer1));
  EXPECT_FALSE(Child(*w, Timer2));
  // Where each control is on the screen, in pixels of the client area (left, top, width, height).
  const struct {
    int control;
    const char* role;
    RECT place;
  } rows[] = {
      {Picture1, "swatch", {8, 8, 49, 49}},
      {Text2, "entry box", {64, 8, 209, 18}},
      {Check1, "on-top check box", {64, 32, 105, 17}},
      {Label1, "coordinate label", {176, 34, 25, 17}},
      {Text1, "coordinate box", {208, 32, 57, 18}},
      {Label2, "unused label", {24, 64, 73, 17}},
      {Label3, "unused label", {136, 64, 113, 17}},
  };
  for (const auto& row : rows) {
    HWND child = Child(*w, row.control);
    ASSERT_TRUE(child) << row.role;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, row.place.left) << row.role;
    EXPECT_EQ(r.top, row.place.top) << row.role;
    EXPECT_EQ(r.right - r.left, row.place.right) << row.role;
    EXPECT_EQ(r.bottom - r.top, row.place.bottom) << row.role;
  }
  wchar_t text[64];
  GetWindowTextW(Child(*w, Check1), text, 64);
  EXPECT_EQ(Show(FromWide(text, wcslen(text))), "常に手前に表示");
  EXPECT_EQ(SendMessageW(Child(*w, Text2), EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE) << "no length limit";
  EXPECT_TRUE(events.log.empty()) << "building raises no event: " << events.log.front();
}

TEST_F(Win32Backend, TabOrderFollowsTabIndexAndSkipsLabels) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(Form1Layout(), events, nullptr);
  HWND hwnd = WindowHandle(*w);
  const int expected[] = {Picture1, Text2, Text1, Check1, Picture1};
  HWND at = GetNextDlgTabItem(hwnd, nullptr, FALSE);
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(GetDlgCtrlID(at) - 1000, expected[i]) << "step " << i;
    at = GetNextDlgTabItem(hwnd, at, FALSE);
  }
}

TEST_F(Win32Backend, DialogKeysPressTheDefaultTheFocusedOrTheCancelButton) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(true), events, nullptr);
  w->Show();
  HWND hwnd = WindowHandle(*w);
  ASSERT_TRUE(WaitFor(platform->Toolkit(), [&] { return GetForegroundWindow() == hwnd; }));

  w->SetFocus(kEdit);
  Key(Child(*w, kEdit), VK_RETURN, L'\r');
  EXPECT_EQ(events.Count("click 3"), 1) << "Enter in a box presses the default button";
  EXPECT_EQ(events.Count("key 0 13"), 0);

  w->SetFocus(kOther);
  Key(Child(*w, kOther), VK_RETURN, L'\r');
  EXPECT_EQ(events.Count("click 4"), 1) << "Enter on another button presses that one";
  EXPECT_EQ(events.Count("click 3"), 1);

  Key(Child(*w, kOther), VK_ESCAPE, 0x1B);
  EXPECT_EQ(events.Count("click 3"), 2) << "Esc presses the cancel button wherever the focus is";
}

TEST_F(Win32Backend, TabMovesTheFocusInTabOrderAndReportsIt) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  HWND hwnd = WindowHandle(*w);
  ASSERT_TRUE(WaitFor(platform->Toolkit(), [&] { return GetForegroundWindow() == hwnd; }));
  w->SetFocus(kEdit);
  ASSERT_EQ(GetFocus(), Child(*w, kEdit));
  const int expected[] = {kEdit2, kCheck, kOk, kOther, kPicture, kEdit};
  for (int next : expected) {
    Key(GetFocus(), VK_TAB, L'\t');
    EXPECT_EQ(GetFocus(), Child(*w, next)) << "tab to " << next;
  }
  EXPECT_GE(events.Count("focus 8"), 1);
  EXPECT_GE(events.Count("focus 2"), 1) << "the picture box reports its focus";
  EXPECT_EQ(events.Count("key 0 9"), 0) << "Tab is the dialog manager's, not a character";
}

TEST_F(Win32Backend, ActivationFocusIsTheWindowsOwnGotFocusThenTheFirstControl) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  HWND hwnd = WindowHandle(*w);
  ASSERT_TRUE(WaitFor(platform->Toolkit(), [&] { return GetFocus() != nullptr && GetFocus() != hwnd; }));
  ASSERT_FALSE(events.log.empty());
  EXPECT_EQ(events.log.front(), "focus -1");
  EXPECT_EQ(GetFocus(), Child(*w, kPicture)) << "the lowest tab index that takes the focus";
}

TEST_F(Win32Backend, ClicksOnCheckBoxesReportClickAndOnThePictureNothing) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  HWND check = Child(*w, kCheck);
  EXPECT_EQ(w->CheckValue(kCheck), 0);
  SendMessageW(check, BM_CLICK, 0, 0);
  EXPECT_EQ(w->CheckValue(kCheck), 1);
  SendMessageW(check, BM_CLICK, 0, 0);
  EXPECT_EQ(w->CheckValue(kCheck), 0);
  EXPECT_EQ(events.Count("click 1"), 2);

  // The swatch is a graphic: a click leaves the focus where it was (Tab still reaches it).
  w->SetFocus(kEdit);
  const std::size_t before = events.log.size();
  SendMessageW(Child(*w, kPicture), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(GetFocus(), Child(*w, kEdit));
  EXPECT_EQ(events.log.size(), before) << events.log.back();
}

TEST_F(Win32Backend, MovedToAMonitorWithAnotherScaleTheWindowLaysItselfOutAgain) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(Form1Layout(), events, nullptr);
  HWND hwnd = WindowHandle(*w);
  RECT frame;
  GetWindowRect(hwnd, &frame);
  RECT suggested = {frame.left, frame.top, frame.left + 500, frame.top + 200};
  SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  RECT r;
  GetWindowRect(Child(*w, Text2), &r);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
  // The entry box at twice its 96-dpi place and size.
  EXPECT_EQ(r.left, 128);
  EXPECT_EQ(r.top, 16);
  EXPECT_EQ(r.right - r.left, 418);
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.right - r.left, 500) << "the size the system suggests";
}

TEST_F(Win32Backend, CloseBoxAsksTheFormsLayerAndDestroysNothingItself) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  HWND hwnd = WindowHandle(*w);
  SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(events.Count("close"), 1);
  EXPECT_TRUE(IsWindow(hwnd));
  w.reset();
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(Win32Backend, TopmostSetsAndClearsTheExtendedStyleAndKeepsThePlace) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  HWND hwnd = WindowHandle(*w);
  RECT before, after;
  GetWindowRect(hwnd, &before);
  for (bool on : {true, false, true, false}) {
    w->SetTopmost(on);
    EXPECT_EQ((GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, on);
    EXPECT_TRUE(IsWindowVisible(hwnd));
  }
  GetWindowRect(hwnd, &after);
  EXPECT_TRUE(EqualRect(&before, &after));
}

}  // namespace
}  // namespace tintvale::win32
