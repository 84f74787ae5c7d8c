// libFuzzer target: the registry reader's conversion of a value's type and bytes into text. It reads at
// most 1024 bytes, drops only a final zero, closes every key it opens, and for a number either gives its
// decimal digits or reports an error the launcher turns into its message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "about_box/frm_about.h"
#include "base/utf8.h"
#include "platform/fake/fake_platform.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tintvale;
  if (size < 1) return 0;
  const std::uint32_t type = data[0] % 8;
  const std::vector<std::uint8_t> bytes(data + 1, data + size);

  fake::FakePlatform sys;
  sys.registry.Set(u"K", u"V", {type, bytes});
  Application app(sys);
  frmAbout about(app);
  Text value = u"";
  std::int16_t found = 0;
  bool threw = false;
  try {
    found = about.GetKeyValue(kHkeyLocalMachine, u"K", u"V", value);
  } catch (const std::range_error&) {
    threw = true;
  }
  Check(sys.registry.openKeys == 0);
  if (threw) {
    Check(type == kRegDword);
    return 0;
  }
  Check(found == (bytes.size() <= 1024 ? -1 : 0));
  if (found == 0) {
    Check(value.empty());
    return 0;
  }
  std::size_t n = bytes.size();
  if (n > 0 && bytes[n - 1] == 0) --n;
  if (type == kRegSz) {
    Check(value == Utf8ToText(std::string_view(reinterpret_cast<const char*>(bytes.data()), n)));
  } else if (type == kRegDword) {
    Check(!value.empty());
    for (char16_t c : value) Check(c >= u'0' && c <= u'9');
  } else {
    Check(value.empty());
  }
  return 0;
}
