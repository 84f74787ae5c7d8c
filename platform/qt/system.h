// Starting a program, the file test and the message box on Linux. A "\" in a path is taken as a
// directory separator, so paths written in the Windows way find the same files.
#pragma once

#include "platform/platform.h"

namespace tintvale::qt {

class QtProcesses : public ProcessStarter {
 public:
  bool Start(const Text& path) override;
};

class QtFiles : public FileTest {
 public:
  bool NormalFileExists(const Text& path) override;
};

class QtMessages : public MessageDialog {
 public:
  void Show(const Text& message, const Text& title) override;
};

}  // namespace tintvale::qt
