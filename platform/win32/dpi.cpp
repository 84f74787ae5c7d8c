#include "platform/win32/dpi.h"

namespace tintvale::win32 {

UINT WindowDpi(HWND window) {
  using ForWindow = UINT(WINAPI*)(HWND);
  using ForSystem = UINT(WINAPI*)();
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (window) {
    if (auto f = reinterpret_cast<ForWindow>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))) {
      if (UINT dpi = f(window)) return dpi;
    }
  }
  if (auto f = reinterpret_cast<ForSystem>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForSystem")))) {
    if (UINT dpi = f()) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

RECT FrameForClient(RECT client, DWORD style, DWORD exStyle, UINT dpi) {
  using ForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto f = reinterpret_cast<ForDpi>(reinterpret_cast<void*>(GetProcAddress(user32, "AdjustWindowRectExForDpi")));
  if (!f || !f(&client, style, FALSE, exStyle, dpi)) AdjustWindowRectEx(&client, style, FALSE, exStyle);
  return client;
}

void DeclareDpiAwareness() {
  // Loaded by name so that the 32-bit program still starts on systems older than these functions.
  using ByContext = BOOL(WINAPI*)(HANDLE);
  using Legacy = BOOL(WINAPI*)();
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (auto f = reinterpret_cast<ByContext>(
          reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")))) {
    if (f(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))) ||  // per monitor, version 2
        f(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)))) {  // per monitor
      return;
    }
    if (GetLastError() == ERROR_ACCESS_DENIED) return;  // already set, by the manifest
  }
  if (auto f = reinterpret_cast<Legacy>(reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")))) {
    f();
  }
}

}  // namespace tintvale::win32
