// The fonts of a window's controls: the faces a layout names, or the default user-interface font, at a
// window's dots per inch. The caller owns the font it gets (GdiObject).
#pragma once

#include <windows.h>

#include "forms/layout.h"

namespace tintvale::win32 {

// The first family of the layout's list that the system really has; the font mapper's pick for the first
// one otherwise.
HFONT CreateLayoutFont(const FontSpec& wanted, UINT dpi);
// The default user-interface font: a Japanese user-interface face that also has Latin letters.
HFONT CreateDefaultFont(UINT dpi);

}  // namespace tintvale::win32
