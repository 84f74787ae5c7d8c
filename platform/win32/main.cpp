// The Windows program: the Unicode GUI entry point runs Tintvale on the Win32 backend.
#include <windows.h>

#include "main_window/program.h"
#include "platform/platform.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
  std::unique_ptr<tintvale::Platform> platform = tintvale::CreatePlatform(0, nullptr);
  if (!platform) return 1;
  tintvale::Program program(*platform);
  return program.Run();
}
