// What the controls draw on Win32 (under Wine): glyphs for every caption, the swatch's colour, a text box's
// own background, the About box's icon and its etched rule.
#include <windows.h>

#include <gtest/gtest.h>

#include "about_box/frm_about.h"
#include "platform/win32/dpi.h"
#include "resources/icon.h"
#include "tests/wine/backend_support.h"

namespace tintvale::win32 {
namespace {

TEST_F(Win32Backend, ControlFontsHaveGlyphsForJapaneseAndLatinCaptions) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(true), events, nullptr);
  const wchar_t sample[] = L"Tintvale 1.5.0 座標ｼｽﾃﾑ情報";
  for (int control : {kLabel, kOk, kCheck, kEdit}) {
    HWND child = Child(*w, control);
    HDC dc = GetDC(child);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
    WORD glyphs[std::size(sample)] = {};
    const DWORD n = GetGlyphIndicesW(dc, sample, static_cast<int>(wcslen(sample)), glyphs, GGI_MARK_NONEXISTING_GLYPHS);
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

TEST_F(Win32Backend, PictureShowsItsColourAndAnUnchangedColourRepaintsNothing) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  HWND picture = Child(*w, kPicture);
  ASSERT_TRUE(WaitFor(platform->Toolkit(), [&] { return IsWindowVisible(picture) != FALSE; }));
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

// The window hands each box its own WM_CTLCOLOREDIT: a box with a colour of its own is filled with it,
// in a system colour too, and the others keep the system's.
TEST_F(Win32Backend, ATextBoxIsFilledWithItsOwnBackColour) {
  Recorder events;
  WindowLayout layout = TestLayout(false);
  layout.controls[kEdit2].backColor = 0x3366CC;
  auto w = platform->Toolkit().BuildWindow(layout, events, nullptr);
  w->SetText(kEdit, u"");
  w->Show();
  ASSERT_TRUE(WaitFor(platform->Toolkit(), [&] { return IsWindowVisible(Child(*w, kEdit2)) != FALSE; }));
  const auto inside = [&](int control) {
    HWND edit = Child(*w, control);
    UpdateWindow(edit);
    RECT r;
    GetClientRect(edit, &r);
    HDC dc = GetDC(edit);
    const COLORREF got = GetPixel(dc, r.right - 3, r.bottom / 2);  // right of any text
    ReleaseDC(edit, dc);
    return got;
  };
  EXPECT_EQ(inside(kEdit2), 0x3366CCu);
  EXPECT_EQ(inside(kEdit), GetSysColor(COLOR_WINDOW)) << "a box without a colour of its own";
  w->SetBackColor(kEdit2, kButtonFaceColor);
  EXPECT_EQ(inside(kEdit2), GetSysColor(COLOR_BTNFACE)) << "the About box's contact line";
}

TEST_F(Win32Backend, AboutBoxPictureShowsTheProgramIconAndTheEtchedRuleIsDrawn) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(FrmAboutLayout(), events, nullptr);
  w->Show();
  HWND hwnd = WindowHandle(*w);
  HWND picture = Child(*w, picIcon);
  ASSERT_TRUE(WaitFor(platform->Toolkit(), [&] { return IsWindowVisible(picture) != FALSE; }));
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
      if (got != want && mismatches++ < 5)
        ADD_FAILURE() << "icon pixel " << x << "," << y << std::hex << ": " << got << " want " << want;
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

}  // namespace
}  // namespace tintvale::win32
