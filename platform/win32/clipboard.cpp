#include "platform/win32/clipboard.h"

#include <algorithm>

namespace tintvale::win32 {

// Another program may hold the clipboard open for a moment: OpenClipboard fails at once, so it is tried
// again for about 100 ms.
bool WriteClipboard(HWND owner, const Text& text) {
  const DWORD start = GetTickCount();
  while (!OpenClipboard(owner)) {
    if (GetTickCount() - start >= 100) return false;
    Sleep(10);
  }
  bool ok = false;
  if (EmptyClipboard()) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
      if (void* p = GlobalLock(memory)) {
        std::copy(text.begin(), text.end(), static_cast<wchar_t*>(p));
        static_cast<wchar_t*>(p)[text.size()] = L'\0';
        GlobalUnlock(memory);
        ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;  // the system owns it from here
      }
      if (!ok) GlobalFree(memory);
    }
  }
  CloseClipboard();
  return ok;
}

}  // namespace tintvale::win32
