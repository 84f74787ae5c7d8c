#include "platform/regfile/registry_value.h"

#include <cstring>

#include "platform/platform.h"

namespace tintvale {

long CopyRegValue(const RegValue& value, std::uint32_t& type, std::uint8_t* data, std::uint32_t& size) {
  const auto needed = static_cast<std::uint32_t>(value.data.size());
  type = value.type;
  if (data == nullptr) {
    size = needed;
    return kErrorSuccess;
  }
  if (needed > size) {
    size = needed;
    return kErrorMoreData;
  }
  if (needed) std::memcpy(data, value.data.data(), needed);
  size = needed;
  return kErrorSuccess;
}

}  // namespace tintvale
