// Conversion between UTF-8 bytes and Text (UTF-16). Malformed input becomes U+FFFD; nothing throws.
#pragma once

#include <string>
#include <string_view>

#include "base/text.h"

namespace tintvale {

Text Utf8ToText(std::string_view utf8);
std::string TextToUtf8(const Text& text);

}  // namespace tintvale
