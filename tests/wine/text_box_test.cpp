// The text box on Win32 (under Wine): change notices typed and set, a set tab shown as a wide space and
// copied as a tab, KeyPress and KeyDown before the box, and Enter and Esc where no button takes them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/backend_support.h"

namespace tintvale::win32 {
namespace {

TEST_F(Win32Backend, ProgramSetTextRaisesNoNativeChangeButTypedAndPastedTextDoes) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
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
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  HWND edit = Child(*w, kEdit2);
  w->SetText(kEdit2, u"-12\t340");
  wchar_t shown[32] = {};
  GetWindowTextW(edit, shown, 32);
  EXPECT_EQ(std::wstring(shown),
            L"-12\u2003"
            L"340")
      << "both numbers apart on the screen";
  EXPECT_EQ(Show(w->GetText(kEdit2)), "-12\t340");
  SendMessageW(edit, WM_CHAR, L'5', 1);
  EXPECT_EQ(Show(w->GetText(kEdit2)),
            "5-12\u2003"
            "340")
      << "an edited box gives what it holds";
}

TEST_F(Win32Backend, KeyPressSeesEachCharacterFirstAndMayChangeOrSwallowIt) {
  Recorder events;
  events.onKey = [](int, std::int16_t& key) {
    if (key == 'a') key = 'A';
    if (key == 'z') key = 0;
  };
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
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
    auto w = platform->Toolkit().BuildWindow(TestLayout(r.defaultButton), events, nullptr);
    HWND edit = Child(*w, kEdit);
    MSG m = {edit, WM_KEYDOWN, r.vk, 1, 0, {}};
    const LRESULT code = SendMessageW(edit, WM_GETDLGCODE, r.vk, reinterpret_cast<LPARAM>(&m));
    EXPECT_EQ((code & DLGC_WANTMESSAGE) != 0, r.boxWants) << "default button " << r.defaultButton << ", key " << r.vk;
  }
}

TEST_F(Win32Backend, CopyingFromABoxWithASetTabGivesTheTab) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
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
    ASSERT_TRUE(platform->Toolkit().SetClipboardText(u"stale"));
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(r.start), r.end);
    SendMessageW(edit, r.message, r.wParam, 0);
    EXPECT_EQ(ClipboardText(), r.copied) << r.how;
    EXPECT_EQ(Show(w->GetText(kEdit2)), r.left) << r.how;
  }
  // Text the user typed is copied as it stands.
  w->SetText(kEdit2, u"");
  SendMessageW(edit, EM_REPLACESEL, TRUE,
               reinterpret_cast<LPARAM>(L"1\u2003"
                                        L"2"));
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_COPY, 0, 0);
  EXPECT_EQ(ClipboardText(),
            L"1\u2003"
            L"2");
}

TEST_F(Win32Backend, AnEditThatLeavesTheSameTextIsStillANotice) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  HWND edit = Child(*w, kEdit);
  w->SetText(kEdit, u"#0A00AB");
  SendMessageW(edit, EM_SETSEL, 6, 7);
  SendMessageW(edit, WM_CHAR, L'B', 1);
  EXPECT_EQ(events.Count("change 0"), 1) << "a character typed over the same one";
  ASSERT_TRUE(platform->Toolkit().SetClipboardText(u"#0A00AB"));
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_PASTE, 0, 0);
  EXPECT_EQ(events.Count("change 0"), 2) << "the same text pasted over itself";
  EXPECT_EQ(Show(w->GetText(kEdit)), "#0A00AB");
}

// Arrow keys reach KeyDown with their Shift (1), Ctrl (2) and Alt (4) mask before the box, as the keyboard
// gives them: with Alt held as system keys. A swallowed key leaves the caret alone, and no KeyPress
// follows an arrow; other keys raise no KeyDown.
TEST_F(Win32Backend, ArrowKeysRaiseKeyDownWithTheirMaskBeforeTheBox) {
  Recorder events;
  events.onKeyDown = [](int, std::int16_t& key, std::int16_t shift) {
    if (shift & 4) key = 0;
  };
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  HWND edit = Child(*w, kEdit);
  w->SetText(kEdit, u"ab cd");
  w->SetFocus(kEdit);
  struct Row {
    std::vector<BYTE> held;
    UINT vk;
    const char* keyDown;  // null: none
    DWORD caret;          // where the caret stands after the key, from 2
  } rows[] = {
      {{}, VK_RIGHT, "keydown 0 39 0", 3},
      {{VK_MENU}, VK_RIGHT, "keydown 0 39 4", 2},
      {{VK_MENU, VK_SHIFT}, VK_LEFT, "keydown 0 37 5", 2},
      {{VK_MENU}, VK_DOWN, "keydown 0 40 4", 2},
      {{VK_CONTROL}, VK_RIGHT, "keydown 0 39 2", 3},  // the next word
      {{}, VK_UP, "keydown 0 38 0", 1},               // a single-line box takes Up as Left
      {{}, VK_HOME, nullptr, 0},
  };
  for (const Row& r : rows) {
    BYTE keys[256] = {};
    for (BYTE k : r.held) keys[k] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(edit, EM_SETSEL, 2, 2);
    const std::size_t before = events.log.size();
    const bool alt = keys[VK_MENU] != 0;
    MSG down = {edit,           alt ? static_cast<UINT>(WM_SYSKEYDOWN) : static_cast<UINT>(WM_KEYDOWN),
                r.vk,           alt ? (1 | (1 << 29)) : 1,
                GetTickCount(), {}};
    Win32Toolkit::Dispatch(down);
    platform->Toolkit().PumpEvents();
    const std::vector<std::string> raised(events.log.begin() + static_cast<std::ptrdiff_t>(before), events.log.end());
    EXPECT_EQ(raised, r.keyDown ? std::vector<std::string>{r.keyDown} : std::vector<std::string>{}) << "key " << r.vk;
    DWORD caret = 0;
    SendMessageW(edit, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    EXPECT_EQ(caret, r.caret) << "key " << r.vk;
  }
  BYTE none[256] = {};
  SetKeyboardState(none);
}

}  // namespace
}  // namespace tintvale::win32
