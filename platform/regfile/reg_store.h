// A registry read from text files in the registry export format ("Windows Registry Editor Version 5.00"
// or "REGEDIT4", UTF-8 or UTF-16LE with a byte-order mark). Read-only; the first file that holds a key
// answers for it; malformed lines and files are skipped. Names compare case-insensitively.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/regfile/registry_value.h"

namespace tintvale {

// A key of one export file: its values by name folded to upper case ("" is the default value "@").
// A key that only lies on the path of a named one exists, empty, as on Windows, but is not "named".
struct RegKey {
  bool named = false;
  std::map<std::string, RegValue> values;
};

// The keys of one export file by path, root name first and folded to upper case, one "\" between parts:
// "HKEY_LOCAL_MACHINE\SOFTWARE\X".
using RegKeyMap = std::map<std::string, RegKey>;

// Largest file read and largest single value kept; anything larger is skipped, not loaded.
inline constexpr std::size_t kRegMaxFileBytes = 4u * 1024u * 1024u;
inline constexpr std::size_t kRegMaxValueBytes = 64u * 1024u;

// Parses the text of one export file (the bytes as read from disk). Never throws for bad input; a file
// without the format's header line gives an empty map. Values come out as the narrow registry call gives
// them: "text" as UTF-8 with its zero, and hex(1), hex(2), hex(7) of a version 5 file from UTF-16LE to UTF-8.
RegKeyMap ParseRegFile(std::string_view fileBytes);

class RegFileRegistry : public Registry {
 public:
  // The files are read again at every OpenKey, so an edit is seen at the next lookup without a restart,
  // as with the registry itself; a file that cannot be read is treated as empty.
  explicit RegFileRegistry(std::vector<std::filesystem::path> files);
  virtual ~RegFileRegistry() = default;

  // tintvale/registry.reg under $XDG_CONFIG_HOME (default ~/.config), then under each of $XDG_CONFIG_DIRS
  // (default /etc/xdg), in that order.
  static std::vector<std::filesystem::path> XdgRegistryFiles();

  long OpenKey(std::uint32_t root, const Text& keyName, std::uint32_t access,
               std::unique_ptr<RegistryKey>& key) override;
  Text DecodeNarrow(const std::vector<std::uint8_t>& bytes) override;

 private:
  std::vector<std::filesystem::path> files_;
};

}  // namespace tintvale
