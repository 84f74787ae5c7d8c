// The Windows program's command-line texts as plain text functions, with no Windows header, so that they
// build and are tested on any system.
#pragma once

#include "base/text.h"

namespace tintvale::win32 {

// The text after the program's own name in a command line as Windows passes it: a quoted name ends at
// the closing quote, a plain one at the first blank; the blanks that follow the name are dropped.
Text ArgumentsAfterProgramName(const Text& commandLine);

// The writable command line that starts exactly the program at path: the path in quotes, nothing more.
Text QuotedCommandLine(const Text& path);

}  // namespace tintvale::win32
