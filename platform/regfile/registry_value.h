// One registry value as the registry stores it, and the copy out of it that every store answers a value
// query with: type and size always, the bytes only when they fit (a buffer too small is left untouched).
#pragma once

#include <cstdint>
#include <vector>

namespace tintvale {

struct RegValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// As the registry's own query: without a buffer only the size is asked for (kErrorSuccess); data longer than
// the capacity in size gives kErrorMoreData with the size needed.
long CopyRegValue(const RegValue& value, std::uint32_t& type, std::uint8_t* data, std::uint32_t& size);

}  // namespace tintvale
