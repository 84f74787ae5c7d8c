#include "platform/win32/fonts.h"

#include <string>

#include "platform/win32/native.h"

namespace tintvale::win32 {
namespace {

HFONT CreateFontFor(const FontSpec& wanted, const wchar_t* family, UINT dpi) {
  return CreateFontW(-MulDiv(wanted.pointSize, static_cast<int>(dpi), 72), 0, 0, 0, wanted.weight, wanted.italic,
                     wanted.underline, wanted.strikeout, static_cast<DWORD>(wanted.charset), OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, family);
}

}  // namespace

HFONT CreateLayoutFont(const FontSpec& wanted, UINT dpi) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT chosen = nullptr;
  for (const Text& family : wanted.families) {
    const std::wstring name = Wide(family);
    HFONT font = CreateFontFor(wanted, name.c_str(), dpi);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    if (lstrcmpiW(face, name.c_str()) == 0) {
      chosen = font;
      break;
    }
    DeleteObject(font);
  }
  DeleteDC(dc);
  if (!chosen) chosen = CreateFontFor(wanted, wanted.families.empty() ? L"" : Wide(wanted.families[0]).c_str(), dpi);
  return chosen;
}

// The default user-interface font: the first Japanese user-interface face the system has. The captions
// are Japanese, and a Latin default face (Tahoma, or DejaVu Sans under Wine) draws them as boxes; asking
// for the Japanese character set instead makes Wine draw the Latin letters as boxes.
HFONT CreateDefaultFont(UINT dpi) {
  FontSpec wanted;
  wanted.families = {u"MS UI Gothic", u"Yu Gothic UI", u"Meiryo UI", u"Noto Sans CJK JP"};
  wanted.pointSize = 9;
  wanted.charset = DEFAULT_CHARSET;
  return CreateLayoutFont(wanted, dpi);
}

}  // namespace tintvale::win32
