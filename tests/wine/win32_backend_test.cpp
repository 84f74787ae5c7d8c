// The Win32 backend in a real (Wine) window system: windows built from layouts, the keyboard rules, text
// change notices, timers and the pump, deferred destruction, the clipboard, the screen, the registry,
// process start and the file test.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "about_box/frm_about.h"
#include "main_window/form1.h"
#include "resources/icon.h"
#include "platform/services.h"
#include "platform/utf8.h"
#include "platform/win32/native.h"
#include "platform/win32/win32_forms.h"
#include "platform/win32/win32_system.h"

namespace tintvale::win32 {
namespace {

std::string Show(const Text& t) { return TextToUtf8(t); }

// Waits for a condition while handling window messages, up to a deadline.
bool WaitFor(Toolkit& toolkit, const std::function<bool()>& done, DWORD ms = 3000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    toolkit.PumpEvents();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);  // wakes early for any message
  }
  return true;
}

struct Recorder : WindowEvents {
  std::vector<std::string> log;
  std::function<void(int, std::int16_t&)> onKey;
  std::function<void(int)> onTick;
  std::function<void()> onClose;
  void KeyPress(int control, std::int16_t& key) override {
    log.push_back("key " + std::to_string(control) + " " + std::to_string(key));
    if (onKey) onKey(control, key);
  }
  void KeyDown(int, std::int16_t&, std::int16_t) override {}
  void TextChanged(int control) override { log.push_back("change " + std::to_string(control)); }
  void Click(int control) override { log.push_back("click " + std::to_string(control)); }
  void GotFocus(int control) override { log.push_back("focus " + std::to_string(control)); }
  void TimerTick(int control) override {
    log.push_back("tick " + std::to_string(control));
    if (onTick) onTick(control);
  }
  void CloseRequested() override {
    log.push_back("close");
    if (onClose) onClose();
  }
  int Count(const std::string& entry) const {
    int n = 0;
    for (const auto& e : log) n += e == entry;
    return n;
  }
};

// A small window with one of each control kind the windows use.
enum : int { kEdit, kCheck, kPicture, kOk, kOther, kLabel, kTimer, kLine, kEdit2 };

WindowLayout TestLayout(bool withDefaultButton) {
  WindowLayout w;
  w.name = "Test";
  w.caption = u"Test window";
  w.clientWidth = 4500;
  w.clientHeight = 1800;
  w.originLeft = 1500;
  w.originTop = 1500;
  w.controls.resize(9);
  w.controls[kEdit] = {.kind = ControlKind::TextBox, .name = "Edit", .caption = u"start",
                       .left = 120, .top = 120, .width = 2000, .height = 300, .tabIndex = 1};
  w.controls[kCheck] = {.kind = ControlKind::CheckBox, .name = "Check", .caption = u"常に",
                        .left = 120, .top = 600, .width = 1500, .height = 300, .tabIndex = 3};
  w.controls[kPicture] = {.kind = ControlKind::PictureBox, .name = "Picture",
                          .left = 3000, .top = 120, .width = 735, .height = 735, .tabIndex = 0};
  w.controls[kOk] = {.kind = ControlKind::CommandButton, .name = "OK", .caption = u"OK",
                     .left = 120, .top = 1200, .width = 1200, .height = 400, .tabIndex = 4};
  w.controls[kOk].isDefault = withDefaultButton;
  w.controls[kOk].isCancel = withDefaultButton;
  w.controls[kOther] = {.kind = ControlKind::CommandButton, .name = "Other", .caption = u"&Other",
                        .left = 1500, .top = 1200, .width = 1200, .height = 400, .tabIndex = 5};
  w.controls[kLabel] = {.kind = ControlKind::Label, .name = "Label", .caption = u"座標",
                        .left = 2000, .top = 600, .width = 600, .height = 300, .tabIndex = 6};
  w.controls[kTimer] = {.kind = ControlKind::Timer, .name = "Timer"};
  w.controls[kTimer].intervalMs = 10;
  w.controls[kLine] = {.kind = ControlKind::Line, .name = "Line", .left = 90, .top = 1100, .width = 4400, .height = 1100};
  w.controls[kEdit2] = {.kind = ControlKind::TextBox, .name = "Edit2", .caption = u"",
                        .left = 2300, .top = 600, .width = 600, .height = 300, .tabIndex = 2};
  return w;
}

class Win32Backend : public ::testing::Test {
 protected:
  void SetUp() override { platform = CreatePlatform(0, nullptr); }

  HWND Child(NativeWindow& w, int control) { return GetDlgItem(WindowHandle(w), 1000 + control); }

  // Delivers a key the way the message loop does: through the dialog manager of the window.
  void Key(HWND target, UINT vk, wchar_t ch) {
    MSG down = {target, WM_KEYDOWN, vk, 1, GetTickCount(), {}};
    Win32Toolkit::Dispatch(down);
    platform->Forms().PumpEvents();  // the WM_CHAR that TranslateMessage posted
    (void)ch;
  }

  std::unique_ptr<Platform> platform;
};

TEST(CommandLineText, ArgumentsFollowTheProgramNameAsWindowsSplitsIt) {
  struct Row {
    const char16_t* commandLine;
    const char16_t* arguments;
  } rows[] = {
      {u"tintvale.exe -c -d", u"-c -d"},
      {u"\"C:\\Program Files\\Tint vale\\tintvale.exe\" -c", u"-c"},
      {u"\"C:\\Program Files\\Tint vale\\tintvale.exe\"-d", u"-d"},  // no blank needed after a quote
      {u"C:\\tools\\tintvale.exe", u""},
      {u"tintvale.exe   \t -D  x ", u"-D  x "},
      {u"\"unterminated name -c", u""},
      {u"", u""},
      {u"tintvale.exe \"a b\" 日本", u"\"a b\" 日本"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Show(ArgumentsAfterProgramName(r.commandLine)), Show(r.arguments)) << Show(r.commandLine);
  }
}

TEST(FileAttributes, OnlyFilesThatAreNeitherFoldersNorHiddenNorSystemCount) {
  struct Row {
    DWORD attributes;
    bool normal;
  } rows[] = {
      {FILE_ATTRIBUTE_NORMAL, true},
      {FILE_ATTRIBUTE_ARCHIVE, true},  // what Wine reports for every file
      {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, true},
      {FILE_ATTRIBUTE_DIRECTORY, false},
      {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, false},
      {FILE_ATTRIBUTE_SYSTEM, false},
      {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false},
  };
  for (const Row& r : rows) EXPECT_EQ(IsNormalFile(r.attributes), r.normal) << std::hex << r.attributes;
}

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
  auto w = platform->Forms().BuildWindow(Form1Layout(), events, nullptr);
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
      {Picture1, "swatch", {8, 8, 49, 49}},           {Text2, "entry box", {64, 8, 209, 18}},
      {Check1, "on-top check box", {64, 32, 105, 17}}, {Label1, "coordinate label", {176, 34, 25, 17}},
      {Text1, "coordinate box", {208, 32, 57, 18}},   {Label2, "unused label", {24, 64, 73, 17}},
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

TEST_F(Win32Backend, ControlFontsHaveGlyphsForJapaneseAndLatinCaptions) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(true), events, nullptr);
  const wchar_t sample[] = L"Tintvale 1.5.0 座標ｼｽﾃﾑ情報";
  for (int control : {kLabel, kOk, kCheck, kEdit}) {
    HWND child = Child(*w, control);
    HDC dc = GetDC(child);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
    WORD glyphs[std::size(sample)] = {};
    const DWORD n = GetGlyphIndicesW(dc, sample, static_cast<int>(wcslen(sample)), glyphs,
                                     GGI_MARK_NONEXISTING_GLYPHS);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(child, dc);
    ASSERT_EQ(n, wcslen(sample));
    for (DWORD i = 0; i < n; ++i) {
      EXPECT_NE(glyphs[i], 0xFFFF) << "control " << control << ", face " << Show(FromWide(face, wcslen(face)))
                                   << ", character " << i;
    }
  }
}

TEST_F(Win32Backend, TabOrderFollowsTabIndexAndSkipsLabels) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(Form1Layout(), events, nullptr);
  HWND hwnd = WindowHandle(*w);
  const int expected[] = {Picture1, Text2, Text1, Check1, Picture1};
  HWND at = GetNextDlgTabItem(hwnd, nullptr, FALSE);
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(GetDlgCtrlID(at) - 1000, expected[i]) << "step " << i;
    at = GetNextDlgTabItem(hwnd, at, FALSE);
  }
}

TEST_F(Win32Backend, ProgramSetTextRaisesNoNativeChangeButTypedAndPastedTextDoes) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  w->SetText(kEdit, u"#A1B2C3");
  w->SetText(kEdit, u"#A1B2C3");
  EXPECT_EQ(Show(w->GetText(kEdit)), "#A1B2C3");
  EXPECT_EQ(events.Count("change 0"), 0) << "the forms layer raises Change for a set itself";

  SendMessageW(Child(*w, kEdit), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"x"));
  EXPECT_EQ(events.Count("change 0"), 1);
  SendMessageW(Child(*w, kEdit), WM_CHAR, L'y', 1);
  EXPECT_EQ(events.Count("change 0"), 2);
  EXPECT_EQ(Show(w->GetText(kEdit)), "xy#A1B2C3") << "typed at the caret, which a set leaves at the start";

  const Text japanese = u"見本 #ｶﾅ";
  w->SetText(kEdit2, japanese);
  EXPECT_EQ(Show(w->GetText(kEdit2)), Show(japanese));
}

TEST_F(Win32Backend, ASetTabShowsAsAWideSpaceAndReadsBackAsSetUntilEdited) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  HWND edit = Child(*w, kEdit2);
  w->SetText(kEdit2, u"-12\t340");
  wchar_t shown[32] = {};
  GetWindowTextW(edit, shown, 32);
  EXPECT_EQ(std::wstring(shown), L"-12\u2003" L"340") << "both numbers apart on the screen";
  EXPECT_EQ(Show(w->GetText(kEdit2)), "-12\t340");
  SendMessageW(edit, WM_CHAR, L'5', 1);
  EXPECT_EQ(Show(w->GetText(kEdit2)), "5-12\u2003" "340") << "an edited box gives what it holds";
}

TEST_F(Win32Backend, KeyPressSeesEachCharacterFirstAndMayChangeOrSwallowIt) {
  Recorder events;
  events.onKey = [](int, std::int16_t& key) {
    if (key == 'a') key = 'A';
    if (key == 'z') key = 0;
  };
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  w->SetText(kEdit2, u"");
  HWND edit = Child(*w, kEdit2);
  struct Row {
    wchar_t ch;
    const char* expectText;
  } rows[] = {{L'a', "A"}, {L'z', "A"}, {L'\r', "A"}, {0x1B, "A"}, {L'b', "Ab"}, {0x898B, "Ab見"}};
  for (const Row& r : rows) {
    SendMessageW(edit, WM_CHAR, r.ch, 1);
    EXPECT_EQ(events.log.back().rfind("key", 0) == 0 || events.log.back().rfind("change", 0) == 0, true);
    EXPECT_EQ(Show(w->GetText(kEdit2)), r.expectText) << "after char " << static_cast<int>(r.ch);
  }
  EXPECT_EQ(events.Count("key 8 13"), 1);
  EXPECT_EQ(events.Count("key 8 27"), 1);
  EXPECT_EQ(events.Count("key 8 -30325"), 1) << "U+898B as a 16-bit signed code";
}

TEST_F(Win32Backend, EnterAndEscReachTheBoxOnlyWhereNoDefaultOrCancelButtonTakesThem) {
  struct Row {
    bool defaultButton;
    UINT vk;
    bool boxWants;
  } rows[] = {{false, VK_RETURN, true}, {false, VK_ESCAPE, true}, {false, VK_TAB, false},
              {true, VK_RETURN, false}, {true, VK_ESCAPE, false}, {true, VK_TAB, false}};
  for (const Row& r : rows) {
    Recorder events;
    auto w = platform->Forms().BuildWindow(TestLayout(r.defaultButton), events, nullptr);
    HWND edit = Child(*w, kEdit);
    MSG m = {edit, WM_KEYDOWN, r.vk, 1, 0, {}};
    const LRESULT code = SendMessageW(edit, WM_GETDLGCODE, r.vk, reinterpret_cast<LPARAM>(&m));
    EXPECT_EQ((code & DLGC_WANTMESSAGE) != 0, r.boxWants)
        << "default button " << r.defaultButton << ", key " << r.vk;
  }
}

TEST_F(Win32Backend, DialogKeysPressTheDefaultTheFocusedOrTheCancelButton) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(true), events, nullptr);
  w->Show();
  HWND hwnd = WindowHandle(*w);
  ASSERT_TRUE(WaitFor(platform->Forms(), [&] { return GetForegroundWindow() == hwnd; }));

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
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  HWND hwnd = WindowHandle(*w);
  ASSERT_TRUE(WaitFor(platform->Forms(), [&] { return GetForegroundWindow() == hwnd; }));
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
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  HWND hwnd = WindowHandle(*w);
  ASSERT_TRUE(WaitFor(platform->Forms(), [&] { return GetFocus() != nullptr && GetFocus() != hwnd; }));
  ASSERT_FALSE(events.log.empty());
  EXPECT_EQ(events.log.front(), "focus -1");
  EXPECT_EQ(GetFocus(), Child(*w, kPicture)) << "the lowest tab index that takes the focus";
}

TEST_F(Win32Backend, ClicksOnBoxesAndPictureReportClickAndFocus) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  HWND check = Child(*w, kCheck);
  EXPECT_EQ(w->CheckValue(kCheck), 0);
  SendMessageW(check, BM_CLICK, 0, 0);
  EXPECT_EQ(w->CheckValue(kCheck), 1);
  SendMessageW(check, BM_CLICK, 0, 0);
  EXPECT_EQ(w->CheckValue(kCheck), 0);
  EXPECT_EQ(events.Count("click 1"), 2);

  SendMessageW(Child(*w, kPicture), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(GetFocus(), Child(*w, kPicture));
  EXPECT_EQ(events.log.back(), "focus 2");
}

TEST_F(Win32Backend, PictureShowsItsColourAndAnUnchangedColourRepaintsNothing) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  HWND picture = Child(*w, kPicture);
  ASSERT_TRUE(WaitFor(platform->Forms(), [&] { return IsWindowVisible(picture) != FALSE; }));
  const ColorValue colors[] = {0x2080E0, 0x000000, 0xFFFFFF, 0x123456};
  for (ColorValue c : colors) {
    w->SetBackColor(kPicture, c);
    UpdateWindow(picture);
    HDC dc = GetDC(picture);
    const COLORREF got = GetPixel(dc, 10, 10);
    ReleaseDC(picture, dc);
    EXPECT_EQ(got, c) << std::hex << c;
    w->SetBackColor(kPicture, c);
    EXPECT_FALSE(GetUpdateRect(picture, nullptr, FALSE)) << "same colour again " << std::hex << c;
  }
}

TEST_F(Win32Backend, AboutBoxPictureShowsTheProgramIconAndTheEtchedRuleIsDrawn) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(FrmAboutLayout(), events, nullptr);
  w->Show();
  HWND hwnd = WindowHandle(*w);
  HWND picture = Child(*w, picIcon);
  ASSERT_TRUE(WaitFor(platform->Forms(), [&] { return IsWindowVisible(picture) != FALSE; }));
  UpdateWindow(hwnd);
  UpdateWindow(picture);
  ASSERT_EQ(WindowDpi(nullptr), 96u) << "the pixel places below are for 96 dpi";

  // The icon resource was written at build time from the same pixels: the top left of the picture's
  // client area shows them one to one, rows the right way up, red and blue not swapped.
  const IconImage& icon = ProgramIcon();
  HDC dc = GetDC(picture);
  int mismatches = 0;
  for (int y = 0; y < IconImage::kSize; y += 3) {
    for (int x = 0; x < IconImage::kSize; x += 3) {
      const IconColor c = icon.palette[icon.pixels[static_cast<std::size_t>(y * IconImage::kSize + x)]];
      const COLORREF want = RGB(c.red, c.green, c.blue);
      const COLORREF got = GetPixel(dc, x, y);
      if (got != want && mismatches++ < 5) ADD_FAILURE() << "icon pixel " << x << "," << y << std::hex << ": " << got << " want " << want;
    }
  }
  ReleaseDC(picture, dc);
  EXPECT_EQ(mismatches, 0);

  // Grey line at 2445 twips (y 163), the two-pixel white one from 2460 (y 164) right under it.
  dc = GetDC(hwnd);
  EXPECT_EQ(GetPixel(dc, 200, 162), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(GetPixel(dc, 200, 163), RGB(128, 128, 128));
  EXPECT_EQ(GetPixel(dc, 200, 164), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 200, 165), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 200, 170), GetSysColor(COLOR_BTNFACE));
  ReleaseDC(hwnd, dc);
}

TEST_F(Win32Backend, MovedToAMonitorWithAnotherScaleTheWindowLaysItselfOutAgain) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(Form1Layout(), events, nullptr);
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

TEST_F(Win32Backend, TimerTicksDoNotNestWhileATickPumps) {
  Recorder events;
  int depth = 0, maxDepth = 0, ticks = 0;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  events.onTick = [&](int) {
    ++depth, ++ticks;
    maxDepth = std::max(maxDepth, depth);
    // Longer than the interval, handling events all the while, as the sampling tick does.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 40) {
      platform->Forms().PumpEvents();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    --depth;
  };
  w->SetTimer(kTimer, true, 10);
  ASSERT_TRUE(WaitFor(platform->Forms(), [&] { return ticks >= 4; }));
  w->SetTimer(kTimer, false, 10);
  EXPECT_EQ(maxDepth, 1);
}

TEST_F(Win32Backend, StoppedTimerTicksNoMore) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  int ticks = 0;
  events.onTick = [&](int) { ++ticks; };
  w->SetTimer(kTimer, true, 10);
  ASSERT_TRUE(WaitFor(platform->Forms(), [&] { return ticks >= 2; }));
  w->SetTimer(kTimer, false, 10);
  platform->Forms().PumpEvents();  // a tick already posted may still come once
  const int stoppedAt = ticks;
  // Another timer of the same window shows time has passed without a tick of the stopped one.
  int other = 0;
  events.onTick = [&](int) { ++other; };
  w->SetTimer(kEdit2, true, 10);
  ASSERT_TRUE(WaitFor(platform->Forms(), [&] { return other >= 5; }));
  EXPECT_EQ(ticks, stoppedAt);
  EXPECT_EQ(events.Count("tick 6") + 5, ticks + 5);
}

TEST_F(Win32Backend, WindowClosedInsideATicksPumpIsDestroyedSafelyAndTheLoopStillEnds) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  HWND hwnd = WindowHandle(*w);
  bool tickReturned = false;
  events.onClose = [&] {
    w.reset();  // what the forms layer does on unload, while the tick below is still on the stack
    platform->Forms().Quit();
  };
  events.onTick = [&](int) {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    platform->Forms().PumpEvents();  // handles the close; must give WM_QUIT back for the loop
    tickReturned = true;
  };
  w->SetTimer(kTimer, true, 10);
  // A stray loop would hang the test: a thread timer ends it with a failure instead.
  const UINT_PTR guard = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); });
  const int status = platform->Forms().Run();
  KillTimer(nullptr, guard);
  EXPECT_EQ(status, 0) << "99: the loop never saw the quit";
  EXPECT_TRUE(tickReturned);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(events.Count("close"), 1);
}

TEST_F(Win32Backend, QuitBeforeRunMakesRunReturnAtOnce) {
  platform->Forms().Quit();
  const UINT_PTR guard = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); });
  EXPECT_EQ(platform->Forms().Run(), 0);
  KillTimer(nullptr, guard);
}

TEST_F(Win32Backend, CloseBoxAsksTheFormsLayerAndDestroysNothingItself) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  HWND hwnd = WindowHandle(*w);
  SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(events.Count("close"), 1);
  EXPECT_TRUE(IsWindow(hwnd));
  w.reset();
  EXPECT_FALSE(IsWindow(hwnd));
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"<busy>";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

TEST_F(Win32Backend, ClipboardTakesTheTextAndGivesUpWhileAnotherHolderKeepsItOpen) {
  const Text texts[] = {u"#A1B2C3", u"12,0,255", u"見本 ｶﾅ", u""};
  for (const Text& t : texts) {
    ASSERT_TRUE(platform->Forms().SetClipboardText(t)) << Show(t);
    EXPECT_EQ(ClipboardText(), Wide(t)) << Show(t);
  }

  // Another window holds the clipboard open for the whole attempt.
  HWND holder = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(OpenClipboard(holder));
  const DWORD start = GetTickCount();
  const bool ok = platform->Forms().SetClipboardText(u"#000000");
  const DWORD waited = GetTickCount() - start;
  CloseClipboard();
  DestroyWindow(holder);
  EXPECT_FALSE(ok);
  EXPECT_GE(waited, 90u) << "retries for about 100 ms first";
  EXPECT_EQ(ClipboardText(), L"") << "the earlier text is untouched";
}

TEST_F(Win32Backend, CopyingFromABoxWithASetTabGivesTheTab) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  HWND edit = Child(*w, kEdit2);
  struct Row {
    const char* how;
    int start, end;
    UINT message;
    WPARAM wParam;
    const wchar_t* copied;
    const char* left;
  } rows[] = {
      {"WM_COPY of everything", 0, -1, WM_COPY, 0, L"409\t200", "409\t200"},
      {"Ctrl+C of the middle", 2, 5, WM_CHAR, 3, L"9\t2", "409\t200"},
      {"WM_CUT of the end", 3, 7, WM_CUT, 0, L"\t200", "409"},
  };
  for (const Row& r : rows) {
    w->SetText(kEdit2, u"409\t200");
    ASSERT_TRUE(platform->Forms().SetClipboardText(u"stale"));
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(r.start), r.end);
    SendMessageW(edit, r.message, r.wParam, 0);
    EXPECT_EQ(ClipboardText(), r.copied) << r.how;
    EXPECT_EQ(Show(w->GetText(kEdit2)), r.left) << r.how;
  }
  // Text the user typed is copied as it stands.
  w->SetText(kEdit2, u"");
  SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"1\u2003" L"2"));
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_COPY, 0, 0);
  EXPECT_EQ(ClipboardText(), L"1\u2003" L"2");
}

TEST_F(Win32Backend, AnEditThatLeavesTheSameTextIsStillANotice) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  HWND edit = Child(*w, kEdit);
  w->SetText(kEdit, u"#0A00AB");
  SendMessageW(edit, EM_SETSEL, 6, 7);
  SendMessageW(edit, WM_CHAR, L'B', 1);
  EXPECT_EQ(events.Count("change 0"), 1) << "a character typed over the same one";
  ASSERT_TRUE(platform->Forms().SetClipboardText(u"#0A00AB"));
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_PASTE, 0, 0);
  EXPECT_EQ(events.Count("change 0"), 2) << "the same text pasted over itself";
  EXPECT_EQ(Show(w->GetText(kEdit)), "#0A00AB");
}

TEST_F(Win32Backend, ScreenReadsWindowPixelsAndGivesInvalidOutsideTheScreen) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  w->SetBackColor(kPicture, 0x3366CC);
  HWND picture = Child(*w, kPicture);
  auto screen = platform->Screen().GetScreen();
  ASSERT_TRUE(screen);
  RECT r;
  GetWindowRect(picture, &r);
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  // The X window maps asynchronously: wait until the screen shows it.
  EXPECT_TRUE(WaitFor(platform->Forms(), [&] { return screen->Pixel(cx, cy) == 0x3366CC; }))
      << std::hex << screen->Pixel(cx, cy);
  EXPECT_EQ(screen->Pixel(-100000, -100000), kInvalidColor);
  ScreenPoint p;
  EXPECT_TRUE(platform->Screen().CursorPos(p));
}

TEST_F(Win32Backend, TopmostSetsAndClearsTheExtendedStyleAndKeepsThePlace) {
  Recorder events;
  auto w = platform->Forms().BuildWindow(TestLayout(false), events, nullptr);
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

// A key of its own under HKLM, removed again afterwards.
class Win32Registry : public Win32Backend {
 protected:
  static constexpr wchar_t kKey[] = L"SOFTWARE\\Tintvale Backend Test";
  void SetUp() override {
    Win32Backend::SetUp();
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr), 0);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
  }
  void SetBytes(const char* name, DWORD type, const std::string& bytes) {
    RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  }
  HKEY key_ = nullptr;
};

TEST_F(Win32Registry, ValuesReadWithTypeSizeAndTerminatorAndLongOnesLeaveTheBufferAlone) {
  SetBytes("PATH", REG_SZ, std::string("C:\\Tools\\info.exe") + '\0');
  SetBytes("EMPTY", REG_SZ, std::string(1, '\0'));
  SetBytes("DW", REG_DWORD, std::string("\x78\x56\x34\x12", 4));
  SetBytes("BIG", REG_SZ, std::string(40, 'x') + '\0');
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(platform->Reg().OpenKey(kHkeyLocalMachine, u"SOFTWARE\\Tintvale Backend Test", kKeyRead, key),
            kErrorSuccess);
  struct Row {
    const char16_t* name;
    long rc;
    std::uint32_t type;
    std::uint32_t size;
    std::string data;
  } rows[] = {
      {u"PATH", kErrorSuccess, REG_SZ, 18, std::string("C:\\Tools\\info.exe") + '\0'},
      {u"path", kErrorSuccess, REG_SZ, 18, std::string("C:\\Tools\\info.exe") + '\0'},
      {u"EMPTY", kErrorSuccess, REG_SZ, 1, std::string(1, '\0')},
      {u"DW", kErrorSuccess, REG_DWORD, 4, std::string("\x78\x56\x34\x12", 4)},
      {u"BIG", kErrorMoreData, REG_SZ, 41, std::string(32, '@')},
      {u"MISSING", kErrorFileNotFound, 0, 32, std::string(32, '@')},
  };
  for (const Row& r : rows) {
    std::uint8_t buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), '@');
    std::uint32_t type = 0, size = sizeof buffer;
    EXPECT_EQ(key->QueryValue(r.name, type, buffer, size), r.rc) << Show(r.name);
    EXPECT_EQ(type, r.type) << Show(r.name);
    EXPECT_EQ(size, r.size) << Show(r.name);
    const std::size_t compare = r.rc == kErrorSuccess ? r.data.size() : sizeof buffer;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), compare), r.data) << Show(r.name);
  }
  std::unique_ptr<RegistryKey> missing;
  EXPECT_EQ(platform->Reg().OpenKey(kHkeyLocalMachine, u"SOFTWARE\\Tintvale No Such Key", kKeyRead, missing),
            kErrorFileNotFound);
  EXPECT_FALSE(missing);
  EXPECT_EQ(Show(platform->Reg().DecodeNarrow({'C', ':', '\\', 'x'})), "C:\\x");
}

// A scratch folder with blanks in its name, emptied afterwards.
class Win32Files : public Win32Backend {
 protected:
  void SetUp() override {
    Win32Backend::SetUp();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"Tint vale test " + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const auto& f : made_) {
      SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileW(f.c_str())) RemoveDirectoryW(f.c_str());
    }
    RemoveDirectoryW(dir_.c_str());
  }
  std::wstring Make(const std::wstring& name, DWORD attributes, bool folder = false) {
    const std::wstring path = dir_ + L"\\" + name;
    if (folder) {
      CreateDirectoryW(path.c_str(), nullptr);
    } else {
      HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      CloseHandle(h);
    }
    if (attributes) SetFileAttributesW(path.c_str(), attributes);
    made_.push_back(path);
    return path;
  }
  std::wstring dir_;
  std::vector<std::wstring> made_;
};

TEST_F(Win32Files, NormalFileExistsOnlyForPlainFiles) {
  struct Row {
    std::wstring path;
    bool exists;
  } rows[] = {
      {Make(L"plain.exe", 0), true},
      {Make(L"日本語.exe", 0), true},
      {Make(L"readonly.exe", FILE_ATTRIBUTE_READONLY), true},
      {Make(L"hidden.exe", FILE_ATTRIBUTE_HIDDEN), false},
      {Make(L"system.exe", FILE_ATTRIBUTE_SYSTEM), false},
      {Make(L"folder.exe", 0, true), false},
      {dir_ + L"\\missing.exe", false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(platform->Files().NormalFileExists(FromWide(r.path)), r.exists) << Show(FromWide(r.path));
  }
}

TEST_F(Win32Files, ProcessStartRunsExactlyTheNamedFileWithItsQuotedName) {
  // The stub writes its command line next to itself. A decoy named like the path cut at the first blank
  // would run instead if the path were split.
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring stub = self;
  stub = stub.substr(0, stub.rfind(L'\\') + 1) + L"tintvale_test_tool.exe";
  const std::wstring sub = Make(L"Tools Folder", 0, true);
  const std::wstring target = sub + L"\\tool.exe";
  ASSERT_TRUE(CopyFileW(stub.c_str(), target.c_str(), FALSE));
  made_.insert(made_.begin(), target);
  made_.insert(made_.begin(), target + L".ran");
  const std::wstring decoy = dir_ + L"\\Tools.exe";
  ASSERT_TRUE(CopyFileW(stub.c_str(), decoy.c_str(), FALSE));
  made_.insert(made_.begin(), decoy);
  made_.insert(made_.begin(), decoy + L".ran");

  ASSERT_TRUE(platform->Processes().Start(FromWide(target)));
  const std::wstring marker = target + L".ran";
  ASSERT_TRUE(WaitFor(platform->Forms(), [&] {
    return GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
  }, 10000));
  EXPECT_EQ(GetFileAttributesW((decoy + L".ran").c_str()), INVALID_FILE_ATTRIBUTES);
  HANDLE h = INVALID_HANDLE_VALUE;
  ASSERT_TRUE(WaitFor(platform->Forms(), [&] {
    h = CreateFileW(marker.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return h != INVALID_HANDLE_VALUE;  // the stub has closed it
  }));
  wchar_t text[1024] = {};
  DWORD got = 0;
  ReadFile(h, text, sizeof text - sizeof(wchar_t), &got, nullptr);
  CloseHandle(h);
  EXPECT_EQ(std::wstring(text), L"\"" + target + L"\"");

  EXPECT_FALSE(platform->Processes().Start(FromWide(dir_ + L"\\missing.exe")));
}

}  // namespace
}  // namespace tintvale::win32
