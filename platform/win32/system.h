// The Win32 services behind the seam other than the forms toolkit: the screen through GDI, the registry's
// narrow functions, CreateProcessW, FindFirstFileW and MessageBoxW.
#pragma once

#include "platform/services.h"

namespace tintvale::win32 {

// Whether a file with these attributes counts as a normal file: not a folder, not hidden, not system.
bool IsNormalFile(unsigned long attributes);

}  // namespace tintvale::win32
