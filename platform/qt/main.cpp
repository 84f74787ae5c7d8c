#include "main_window/program.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  std::unique_ptr<tintvale::Platform> platform = tintvale::CreatePlatform(argc, argv);
  if (!platform) return 1;
  return tintvale::Program(*platform).Run();
}
