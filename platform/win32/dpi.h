// The dots per inch Windows gives a window, and the DPI functions newer Windows versions add, looked up
// at run time so that the 32-bit program still starts on systems older than them.
#pragma once

#include <windows.h>

namespace tintvale::win32 {

// The dots per inch of a window (or of the system for a null window), 96 when nothing better is known.
UINT WindowDpi(HWND window);
// Window rectangle for a client area, for the given DPI when the system can tell the frame at that DPI.
RECT FrameForClient(RECT client, DWORD style, DWORD exStyle, UINT dpi);
// Asks for per-monitor DPI awareness at run time; the manifest already does so where it is read.
void DeclareDpiAwareness();

}  // namespace tintvale::win32
