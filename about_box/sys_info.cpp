#include <array>
#include <memory>
#include <stdexcept>

#include "about_box/frm_about.h"
#include "base/hex_digit.h"
#include "resources/version.h"

namespace tintvale {

const char16_t kSysInfoUnavailable[] = u"現時点ではｼｽﾃﾑ情報を使用できません";

namespace {

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;
constexpr std::uint32_t kValueBufferSize = 1024;
constexpr char16_t kSysInfoProgram[] = u"\\MSINFO32.EXE";

// "&h" and hexadecimal digits, as the reader builds them for a number, turned into the number in decimal.
// No digits, another character, or a number past 32 bits is an error for the caller's trap.
Text HexLiteralAsDecimal(const Text& literal) {
  const Text digits = literal.substr(2);
  if (digits.empty()) throw std::range_error("a number without digits");
  std::uint64_t v = 0;
  for (char16_t c : digits) {
    const int d = HexDigitValue(c);
    if (d < 0) throw std::range_error("not a hexadecimal digit");
    v = v * 16 + static_cast<std::uint64_t>(d);
    if (v > 0xFFFFFFFFu) throw std::range_error("a number wider than 32 bits");
  }
  Text out;
  do {
    out.insert(out.begin(), static_cast<char16_t>(u'0' + v % 10));
    v /= 10;
  } while (v != 0);
  return out;
}

}  // namespace

std::int16_t frmAbout::GetKeyValue(std::uint32_t KeyRoot, const Text& KeyName, const Text& SubKeyRef, Text& KeyVal) {
  Registry& registry = Sys().Registry();
  std::unique_ptr<RegistryKey> hKey;  // closed when it goes out of scope, whichever way that is
  // Read access is all that is needed; asking for write rights as well fails for users who may read
  // the key but not change it.
  if (registry.OpenKey(KeyRoot, KeyName, kKeyRead, hKey) != kErrorSuccess || !hKey) {
    KeyVal.clear();
    return kFalse;
  }
  std::array<std::uint8_t, kValueBufferSize> tmpVal{};
  std::uint32_t KeyValSize = kValueBufferSize;
  std::uint32_t KeyValType = 0;
  if (hKey->QueryValue(SubKeyRef, KeyValType, tmpVal.data(), KeyValSize) != kErrorSuccess) {
    KeyVal.clear();
    return kFalse;
  }
  std::size_t n = KeyValSize < kValueBufferSize ? KeyValSize : kValueBufferSize;
  if (n > 0 && tmpVal[n - 1] == 0) --n;  // the terminator of a text value
  switch (KeyValType) {
    case kRegSz: KeyVal = registry.DecodeNarrow(std::vector<std::uint8_t>(tmpVal.begin(), tmpVal.begin() + n)); break;
    case kRegDword: {
      static constexpr char16_t kHex[] = u"0123456789ABCDEF";
      Text digits;
      for (std::size_t i = n; i-- > 0;) {
        digits += kHex[tmpVal[i] >> 4];
        digits += kHex[tmpVal[i] & 15];
      }
      KeyVal = HexLiteralAsDecimal(u"&h" + KeyVal + digits);
      break;
    }
    default: break;  // KeyVal stays as the caller passed it
  }
  return kTrue;
}

void frmAbout::StartSysInfo() {
  const auto findAndStart = [this]() -> bool {
    Text SysInfoPath;
    if (GetKeyValue(kHkeyLocalMachine, u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", u"PATH", SysInfoPath) == kFalse) {
      if (GetKeyValue(kHkeyLocalMachine, u"SOFTWARE\\Microsoft\\Shared Tools Location", u"MSINFO", SysInfoPath) ==
          kFalse) {
        return false;
      }
      if (!Sys().FileTest().NormalFileExists(SysInfoPath + kSysInfoProgram)) return false;
      SysInfoPath += kSysInfoProgram;
    }
    // Exactly the file named, as the program: a path with blanks is never split into a program and
    // arguments, so a file planted at the first blank cannot run instead.
    return Sys().ProcessStarter().Start(SysInfoPath);
  };
  bool started = false;
  try {
    started = findAndStart();
  } catch (...) {
    // Whatever failed on the way, the user gets the same one message below.
  }
  if (!started) Sys().MessageDialog().Show(kSysInfoUnavailable, kAppTitle);
}

}  // namespace tintvale
