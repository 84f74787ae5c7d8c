#include "platform/regfile/reg_store.h"

#include <array>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <system_error>

#include "base/hex_digit.h"
#include "base/utf8.h"

namespace tintvale {
namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

struct Root {
  std::uint32_t handle;
  std::string_view name;
  std::string_view shortName;
};

constexpr std::array<Root, 5> kRoots = {{{0x80000000u, "HKEY_CLASSES_ROOT", "HKCR"},
                                         {0x80000001u, "HKEY_CURRENT_USER", "HKCU"},
                                         {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
                                         {0x80000003u, "HKEY_USERS", "HKU"},
                                         {0x80000005u, "HKEY_CURRENT_CONFIG", "HKCC"}}};

// Any right that would let the caller change the key: set value, create sub-key, create link, delete,
// write DAC, write owner. The files are only read, so a key never opens with one of these.
constexpr std::uint32_t kWriteRights = 0x2 | 0x4 | 0x20 | 0x10000 | 0x40000 | 0x80000;

std::string FoldUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The key path after its root, as parts folded to upper case and joined by one "\"; empty parts (doubled,
// leading or trailing separators) are dropped.
std::string JoinParts(std::string_view path) {
  std::string out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty()) {
      if (!out.empty()) out += '\\';
      out += FoldUpper(part);
    }
    start = end + 1;
  }
  return out;
}

// "HKLM\Software\X" or "HKEY_LOCAL_MACHINE\Software\X" -> "HKEY_LOCAL_MACHINE\SOFTWARE\X"; nullopt for a root
// that is not one of the five.
std::optional<std::string> NormalKeyPath(std::string_view path) {
  const std::size_t sep = path.find('\\');
  const std::string root = FoldUpper(path.substr(0, sep));
  for (const Root& r : kRoots) {
    if (root != r.name && root != r.shortName) continue;
    const std::string rest = sep == std::string_view::npos ? std::string() : JoinParts(path.substr(sep + 1));
    return rest.empty() ? std::string(r.name) : std::string(r.name) + '\\' + rest;
  }
  return std::nullopt;
}

// The file's text as UTF-8: a UTF-16LE file (byte-order mark FF FE) is converted, a UTF-8 byte-order mark
// is dropped, anything else is taken as UTF-8 as it is.
std::string AsUtf8(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    Text wide;
    wide.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return TextToUtf8(wide);
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return std::string(bytes);
}

// Where a line stands at its end: inside a quoted string or not. A "\" at the end of a line continues it
// only outside a string, so a value such as "C:\\" is never joined with the next line.
bool EndsInsideString(std::string_view line) {
  bool inside = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') {
      inside = !inside;
    } else if (inside && line[i] == '\\' && i + 1 < line.size()) {
      ++i;
    }
  }
  return inside;
}

// The file as logical lines: "\r\n" or "\n" ends a physical line; a line that ends in "\" outside a string
// goes on with the next one, whose leading blanks are dropped.
std::vector<std::string> LogicalLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  bool continuing = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (continuing) {
      while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    }
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    // A continued line ended outside a string, so each piece starts outside one: only the new piece
    // needs scanning, which keeps a long continued value linear.
    continuing = !line.empty() && line.back() == '\\' && !EndsInsideString(line);
    if (continuing) line.remove_suffix(1);
    current.append(line);
    if (continuing) continue;
    lines.push_back(std::move(current));
    current.clear();
  }
  if (!current.empty()) lines.push_back(std::move(current));
  return lines;
}

// A quoted string with the \\ and \" escapes, at the start of s; s is advanced past the closing quote.
// Any other escape, a missing closing quote or a string over the value limit is malformed.
std::optional<std::string> ReadQuoted(std::string_view& s) {
  if (s.empty() || s.front() != '"') return std::nullopt;
  std::string out;
  for (std::size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\') {
      if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return std::nullopt;
      out += s[++i];
    } else {
      out += c;
    }
    if (out.size() >= kRegMaxValueBytes) return std::nullopt;
  }
  return std::nullopt;
}

// One to eight hex digits as a 32-bit number.
std::optional<std::uint32_t> HexNumber(std::string_view s) {
  if (s.empty() || s.size() > 8) return std::nullopt;
  std::uint32_t v = 0;
  for (char c : s) {
    const int d = HexDigitValue(static_cast<unsigned char>(c));
    if (d < 0) return std::nullopt;
    v = (v << 4) | static_cast<std::uint32_t>(d);
  }
  return v;
}

// "aa,bb, cc": bytes of one or two hex digits each, separated by commas; empty text is no bytes.
std::optional<std::vector<std::uint8_t>> HexBytes(std::string_view s) {
  std::vector<std::uint8_t> out;
  s = Trim(s);
  if (s.empty()) return out;
  std::size_t start = 0;
  while (true) {
    std::size_t end = s.find(',', start);
    const std::string_view item = Trim(s.substr(start, end == std::string_view::npos ? s.npos : end - start));
    if (item.empty() || item.size() > 2) return std::nullopt;
    const auto v = HexNumber(item);
    if (!v) return std::nullopt;
    if (out.size() >= kRegMaxValueBytes) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(*v));
    if (end == std::string_view::npos) return out;
    start = end + 1;
  }
}

bool StartsWithFolded(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && FoldUpper(s.substr(0, prefix.size())) == prefix;
}

// What follows a value: nothing, or a comment.
bool OnlyCommentLeft(std::string_view rest) {
  rest = Trim(rest);
  return rest.empty() || rest.front() == ';';
}

// The data of a value line after "=": a value, "-" (delete the value), or nullopt when malformed.
struct ParsedData {
  bool remove = false;
  RegValue value;
};

// Text types written as hex in a version 5 file hold UTF-16LE; the narrow registry call the reader makes
// would hand them over converted, so they are kept as UTF-8. Odd length is malformed.
bool IsTextType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

std::optional<std::vector<std::uint8_t>> WideToNarrow(const std::vector<std::uint8_t>& wide) {
  if (wide.size() % 2 != 0) return std::nullopt;
  Text text;
  text.reserve(wide.size() / 2);
  for (std::size_t i = 0; i < wide.size(); i += 2) {
    text.push_back(static_cast<char16_t>(wide[i] | (wide[i + 1] << 8)));
  }
  const std::string narrow = TextToUtf8(text);
  return std::vector<std::uint8_t>(narrow.begin(), narrow.end());
}

std::optional<ParsedData> ReadData(std::string_view s, bool wideText) {
  s = Trim(s);
  ParsedData out;
  if (!s.empty() && s.front() == '"') {
    auto text = ReadQuoted(s);
    if (!text || !OnlyCommentLeft(s)) return std::nullopt;
    out.value.type = kRegSz;  // the narrow bytes and the terminating zero, as the registry keeps text
    out.value.data.assign(text->begin(), text->end());
    out.value.data.push_back(0);
    return out;
  }
  if (!s.empty() && s.front() == '-') {
    if (!OnlyCommentLeft(s.substr(1))) return std::nullopt;
    out.remove = true;
    return out;
  }
  const std::size_t semicolon = s.find(';');
  const std::string_view body = Trim(s.substr(0, semicolon));
  if (StartsWithFolded(body, "DWORD:")) {
    const auto v = HexNumber(Trim(body.substr(6)));
    if (!v) return std::nullopt;
    out.value.type = kRegDword;
    for (int i = 0; i < 4; ++i) out.value.data.push_back(static_cast<std::uint8_t>(*v >> (8 * i)));
    return out;
  }
  if (StartsWithFolded(body, "HEX:")) {
    auto bytes = HexBytes(body.substr(4));
    if (!bytes) return std::nullopt;
    out.value.type = kRegBinary;
    out.value.data = std::move(*bytes);
    return out;
  }
  if (StartsWithFolded(body, "HEX(")) {
    const std::size_t close = body.find("):");
    if (close == std::string_view::npos) return std::nullopt;
    const auto type = HexNumber(body.substr(4, close - 4));
    auto bytes = HexBytes(body.substr(close + 2));
    if (!type || !bytes) return std::nullopt;
    if (wideText && IsTextType(*type)) {
      bytes = WideToNarrow(*bytes);
      if (!bytes || bytes->size() > kRegMaxValueBytes) return std::nullopt;
    }
    out.value.type = *type;
    out.value.data = std::move(*bytes);
    return out;
  }
  return std::nullopt;
}

// Adds the key and, empty and not named, every key on its path, as importing the file on Windows would.
RegKey& TouchKey(RegKeyMap& keys, const std::string& path) {
  for (std::size_t sep = path.find('\\'); sep != std::string::npos; sep = path.find('\\', sep + 1)) {
    keys[path.substr(0, sep)];
  }
  return keys[path];
}

std::optional<RegKeyMap> ReadFile(const std::filesystem::path& file) {
  std::error_code ec;
  // Only a regular file: a FIFO or a device would block or never end.
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  const auto size = std::filesystem::file_size(file, ec);
  if (ec || size > kRegMaxFileBytes) return std::nullopt;  // too large to be a registry file of this program
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  // One byte more than the size: a file that grew meanwhile past the limit is still refused.
  std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got > kRegMaxFileBytes) return std::nullopt;
  bytes.resize(got);
  return ParseRegFile(bytes);
}

class RegFileKey : public RegistryKey {
 public:
  explicit RegFileKey(std::map<std::string, RegValue> values) : values_(std::move(values)) {}

  long QueryValue(const Text& valueName, std::uint32_t& type, std::uint8_t* data, std::uint32_t& size) override {
    const auto it = values_.find(FoldUpper(TextToUtf8(valueName)));
    if (it == values_.end()) return kErrorFileNotFound;
    return CopyRegValue(it->second, type, data, size);
  }

 private:
  std::map<std::string, RegValue> values_;
};

}  // namespace

RegKeyMap ParseRegFile(std::string_view fileBytes) {
  RegKeyMap keys;
  const std::string text = AsUtf8(fileBytes);
  const std::vector<std::string> lines = LogicalLines(text);
  std::size_t i = 0;
  while (i < lines.size() && Trim(lines[i]).empty()) ++i;
  if (i == lines.size()) return keys;
  const std::string_view header = Trim(lines[i]);
  if (header != kHeader5 && header != kHeader4) return keys;
  const bool wideText = header == kHeader5;

  RegKey* current = nullptr;  // null: before the first section, or in a section that is skipped
  for (++i; i < lines.size(); ++i) {
    std::string_view line = Trim(lines[i]);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      current = nullptr;
      if (line.back() != ']' || line.size() < 3) continue;  // missing bracket: its values are skipped too
      std::string_view inner = line.substr(1, line.size() - 2);
      const bool remove = inner.front() == '-';
      if (remove) inner.remove_prefix(1);
      const auto path = NormalKeyPath(Trim(inner));
      if (!path) continue;
      if (remove) {
        // A deleted key takes its sub-keys with it.
        const std::string prefix = *path + '\\';
        for (auto it = keys.begin(); it != keys.end();) {
          it = (it->first == *path || it->first.starts_with(prefix)) ? keys.erase(it) : std::next(it);
        }
        continue;
      }
      current = &TouchKey(keys, *path);
      current->named = true;
      continue;
    }
    if (current == nullptr) continue;
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else {
      auto quoted = ReadQuoted(line);
      if (!quoted) continue;
      name = FoldUpper(*quoted);
    }
    line = Trim(line);
    if (line.empty() || line.front() != '=') continue;
    const auto data = ReadData(line.substr(1), wideText);
    if (!data) continue;
    if (data->remove) {
      current->values.erase(name);
    } else {
      current->values[name] = std::move(data->value);
    }
  }
  return keys;
}

RegFileRegistry::RegFileRegistry(std::vector<std::filesystem::path> files) : files_(std::move(files)) {}

std::vector<std::filesystem::path> RegFileRegistry::XdgRegistryFiles() {
  const std::filesystem::path relative = std::filesystem::path("tintvale") / "registry.reg";
  std::vector<std::filesystem::path> out;
  // Relative paths in these variables are ignored, as the base directory rules ask.
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (configHome && configHome[0] == '/') {
    out.push_back(std::filesystem::path(configHome) / relative);
  } else if (home && home[0] == '/') {
    out.push_back(std::filesystem::path(home) / ".config" / relative);
  }
  const char* configDirs = std::getenv("XDG_CONFIG_DIRS");
  std::string_view dirs = configDirs && configDirs[0] ? configDirs : "/etc/xdg";
  while (true) {
    const std::size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    if (!dir.empty() && dir.front() == '/') out.push_back(std::filesystem::path(dir) / relative);
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  return out;
}

long RegFileRegistry::OpenKey(std::uint32_t root, const Text& keyName, std::uint32_t access,
                              std::unique_ptr<RegistryKey>& key) {
  std::string path;
  for (const Root& r : kRoots) {
    if (r.handle == root) path = r.name;
  }
  if (path.empty()) return kErrorFileNotFound;
  const std::string rest = JoinParts(TextToUtf8(keyName));
  if (!rest.empty()) path += '\\' + rest;

  // The first file that names the key answers; one that only holds a key below it makes it exist, empty,
  // unless a later file names it.
  bool exists = false;
  for (const auto& file : files_) {
    const auto keys = ReadFile(file);
    if (!keys) continue;
    const auto it = keys->find(path);
    if (it == keys->end()) continue;
    if (it->second.named) {
      if (access & kWriteRights) return kErrorAccessDenied;
      key = std::make_unique<RegFileKey>(it->second.values);
      return kErrorSuccess;
    }
    exists = true;
  }
  if (!exists) return kErrorFileNotFound;
  if (access & kWriteRights) return kErrorAccessDenied;
  key = std::make_unique<RegFileKey>(std::map<std::string, RegValue>{});
  return kErrorSuccess;
}

Text RegFileRegistry::DecodeNarrow(const std::vector<std::uint8_t>& bytes) {
  return Utf8ToText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace tintvale
