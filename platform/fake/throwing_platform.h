// The fake platform with one service that fails by throwing, as a backend might: opening a registry key,
// reading a value, converting narrow text, testing for a file or starting a program. Every other call
// goes to the fake platform's own services.
#pragma once

#include "platform/fake/fake_platform.h"

namespace tintvale::fake {

class ThrowingPlatform : public FakePlatform {
 public:
  enum Where { InOpen, InQuery, InDecode, InFileTest, InStart };
  explicit ThrowingPlatform(Where where) : where_(where), services_(*this) {}
  tintvale::Registry& Registry() override { return services_; }
  tintvale::FileTest& FileTest() override { return services_; }
  tintvale::ProcessStarter& ProcessStarter() override { return services_; }

 private:
  // The registry, the file test and the program start in one: each throws where the platform says.
  class Services : public tintvale::Registry, public tintvale::FileTest, public tintvale::ProcessStarter {
   public:
    explicit Services(ThrowingPlatform& p) : p_(p) {}
    long OpenKey(std::uint32_t root, const Text& name, std::uint32_t access,
                 std::unique_ptr<RegistryKey>& key) override;
    Text DecodeNarrow(const std::vector<std::uint8_t>& bytes) override;
    bool NormalFileExists(const Text& path) override;
    bool Start(const Text& path) override;

   private:
    ThrowingPlatform& p_;
  };
  class ThrowingKey : public RegistryKey {
   public:
    ThrowingKey(ThrowingPlatform& p, std::unique_ptr<RegistryKey> inner) : p_(p), inner_(std::move(inner)) {}
    long QueryValue(const Text& name, std::uint32_t& type, std::uint8_t* data, std::uint32_t& size) override;

   private:
    ThrowingPlatform& p_;
    std::unique_ptr<RegistryKey> inner_;
  };

  Where where_;
  Services services_;
};

}  // namespace tintvale::fake
