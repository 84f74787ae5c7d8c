// libFuzzer target: any bytes as a registry export file parse without a crash, within the size limits,
// into keys named under a root.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/regfile/reg_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tintvale;
  const RegKeyMap keys = ParseRegFile(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const auto& [path, key] : keys) {
    if (path.empty() || path.rfind("HKEY_", 0) != 0) std::abort();
    for (const auto& [name, value] : key.values) {
      if (value.data.size() > kRegMaxValueBytes) std::abort();
    }
  }
  return 0;
}
