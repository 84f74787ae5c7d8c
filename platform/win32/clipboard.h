// The clipboard as the program writes it: one plain text in place of everything it held.
#pragma once

#include <windows.h>

#include "base/text.h"

namespace tintvale::win32 {

// Replaces the clipboard's contents with a text, owned by owner (a window: SetClipboardData needs one
// after EmptyClipboard). False when another program kept the clipboard open for the whole try.
bool WriteClipboard(HWND owner, const Text& text);

}  // namespace tintvale::win32
