#include "platform/win32/command_line.h"

namespace tintvale::win32 {

Text ArgumentsAfterProgramName(const Text& commandLine) {
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  if (n > 0 && commandLine[0] == u'"') {
    i = commandLine.find(u'"', 1);
    i = i == Text::npos ? n : i + 1;
  } else {
    while (i < n && commandLine[i] != u' ' && commandLine[i] != u'\t') ++i;
  }
  while (i < n && (commandLine[i] == u' ' || commandLine[i] == u'\t')) ++i;
  return commandLine.substr(i);
}

Text QuotedCommandLine(const Text& path) { return u"\"" + path + u"\""; }

}  // namespace tintvale::win32
