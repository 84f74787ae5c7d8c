// The fake platform with one service that fails by throwing, as a backend might: opening a registry key,
// reading a value, converting narrow text, testing for a file or starting a program. Every other call
// goes to the fake platform's own services.
#pragma once

#include "platform/fake/fake_platform.h"

namespace tintvale::fake {

class ThrowingPlatform : public FakePlatform {
 public:
  enum Where { InOpen, InQuery, InDecode, InFileTest, InStart };
  explicit ThrowingPlatform(Where where) : where_(where), reg_(*this), files_(*this), starter_(*this) {}
  tintvale::Registry& Registry() override { return reg_; }
  tintvale::FileTest& FileTest() override { return files_; }
  tintvale::ProcessStarter& ProcessStarter() override { return starter_; }

 private:
  class ThrowingKey : public RegistryKey {
   public:
    ThrowingKey(ThrowingPlatform& p, std::unique_ptr<RegistryKey> inner) : p_(p), inner_(std::move(inner)) {}
    long QueryValue(const Text& name, std::uint32_t& type, std::uint8_t* data, std::uint32_t& size) override;

   private:
    ThrowingPlatform& p_;
    std::unique_ptr<RegistryKey> inner_;
  };
  class RegistryPart : public tintvale::Registry {
   public:
    explicit RegistryPart(ThrowingPlatform& p) : p_(p) {}
    long OpenKey(std::uint32_t root, const Text& name, std::uint32_t access,
                 std::unique_ptr<RegistryKey>& key) override;
    Text DecodeNarrow(const std::vector<std::uint8_t>& bytes) override;

   private:
    ThrowingPlatform& p_;
  };
  class FilesPart : public tintvale::FileTest {
   public:
    explicit FilesPart(ThrowingPlatform& p) : p_(p) {}
    bool NormalFileExists(const Text& path) override;

   private:
    ThrowingPlatform& p_;
  };
  class StarterPart : public tintvale::ProcessStarter {
   public:
    explicit StarterPart(ThrowingPlatform& p) : p_(p) {}
    bool Start(const Text& path) override;

   private:
    ThrowingPlatform& p_;
  };

  Where where_;
  RegistryPart reg_;
  FilesPart files_;
  StarterPart starter_;
};

}  // namespace tintvale::fake
