// Another program that keeps the clipboard open: opens it, prints "held", keeps it for SECONDS (default
// 3) or until the file RELEASE exists, closes it and prints "released". Prints "busy" and ends with 1 when
// it could not open it.  Usage: clip_holder [SECONDS [RELEASE]]
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  const double seconds = argc > 1 ? std::wcstod(argv[1], nullptr) : 3.0;
  const wchar_t* release = argc > 2 ? argv[2] : nullptr;
  // A window of its own, so the clipboard reports a real holder (GetOpenClipboardWindow).
  HWND owner = CreateWindowExW(0, L"STATIC", L"clip holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (!OpenClipboard(owner)) {
    std::printf("busy\n");
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  // The hold itself: the clipboard stays open for the whole time, whatever the clock does.
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
  while (GetTickCount64() < end && !(release && GetFileAttributesW(release) != INVALID_FILE_ATTRIBUTES)) Sleep(20);
  CloseClipboard();
  std::printf("released\n");
  std::fflush(stdout);
  if (owner) DestroyWindow(owner);
  return 0;
}
