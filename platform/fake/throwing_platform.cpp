#include "platform/fake/throwing_platform.h"

#include <new>
#include <stdexcept>

namespace tintvale::fake {

long ThrowingPlatform::ThrowingKey::QueryValue(const Text& name, std::uint32_t& type, std::uint8_t* data,
                                               std::uint32_t& size) {
  if (p_.where_ == InQuery) throw std::bad_alloc();
  return inner_->QueryValue(name, type, data, size);
}

long ThrowingPlatform::Services::OpenKey(std::uint32_t root, const Text& name, std::uint32_t access,
                                         std::unique_ptr<RegistryKey>& key) {
  if (p_.where_ == InOpen) throw std::runtime_error("registry unavailable");
  std::unique_ptr<RegistryKey> inner;
  const long r = p_.registry.OpenKey(root, name, access, inner);
  if (r == kErrorSuccess) key = std::make_unique<ThrowingKey>(p_, std::move(inner));
  return r;
}

Text ThrowingPlatform::Services::DecodeNarrow(const std::vector<std::uint8_t>& bytes) {
  if (p_.where_ == InDecode) throw 42;  // not even a std::exception
  return p_.registry.DecodeNarrow(bytes);
}

bool ThrowingPlatform::Services::NormalFileExists(const Text& path) {
  if (p_.where_ == InFileTest) throw std::runtime_error("file system unavailable");
  return p_.files.NormalFileExists(path);
}

bool ThrowingPlatform::Services::Start(const Text& path) {
  if (p_.where_ == InStart) throw std::runtime_error("cannot start");
  return p_.processes.Start(path);
}

}  // namespace tintvale::fake
