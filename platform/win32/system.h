// The registry through its narrow functions, starting a program with CreateProcessW, the file test with
// FindFirstFileW and the message box, on Win32.
#pragma once

#include "platform/platform.h"

namespace tintvale::win32 {

// One object serves the four: none of them keeps any state.
class Win32System : public Registry, public ProcessStarter, public FileTest, public MessageDialog {
 public:
  long OpenKey(std::uint32_t root, const Text& keyName, std::uint32_t access,
               std::unique_ptr<RegistryKey>& key) override;
  Text DecodeNarrow(const std::vector<std::uint8_t>& bytes) override;
  bool Start(const Text& path) override;  // a program, not waited for
  bool NormalFileExists(const Text& path) override;
  void Show(const Text& message, const Text& title) override;  // the message box
};

// Whether a file with these attributes counts as a normal file: not a folder, not hidden, not system.
bool IsNormalFile(unsigned long attributes);

}  // namespace tintvale::win32
