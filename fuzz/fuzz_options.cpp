// libFuzzer target: the option scan never fails, ignores letter case, and only ever reports an option whose
// dash and letter really stand next to each other in the argument text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "main_window/color_text.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool DashThen(const tintvale::Text& t, char16_t lower) {
  const auto upper = static_cast<char16_t>(lower - u'a' + u'A');
  for (std::size_t i = 0; i + 1 < t.size(); ++i) {
    if (t[i] == u'-' && (t[i + 1] == lower || t[i + 1] == upper)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tintvale;
  Text t;
  for (std::size_t i = 0; i + 1 < size; i += 2) t.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  Text flipped = t;
  for (char16_t& c : flipped) {
    if (c >= u'a' && c <= u'z')
      c = static_cast<char16_t>(c - u'a' + u'A');
    else if (c >= u'A' && c <= u'Z')
      c = static_cast<char16_t>(c - u'A' + u'a');
  }
  for (char16_t letter : {u'd', u'c'}) {
    const Text option{u'-', letter};
    const bool found = HasOption(t, option);
    Check(found == HasOption(flipped, option));
    Check(found == DashThen(t, letter));
  }
  return 0;
}
