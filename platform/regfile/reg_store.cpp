#include "platform/regfile/reg_store.h"

namespace tintvale {

RegKeyMap ParseRegFile(std::string_view) { return {}; }

RegFileRegistry::RegFileRegistry(const std::vector<std::filesystem::path>&) {}

std::vector<std::filesystem::path> RegFileRegistry::XdgRegistryFiles() { return {}; }

long RegFileRegistry::OpenKey(std::uint32_t, const Text&, std::uint32_t, std::unique_ptr<RegistryKey>&) {
  return kErrorFileNotFound;
}

Text RegFileRegistry::DecodeNarrow(const std::vector<std::uint8_t>&) { return {}; }

}  // namespace tintvale
