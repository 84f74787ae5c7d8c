// Tintvale's text: UTF-16, as both native toolkits hold it; a "character" is one UTF-16 code unit.
#pragma once

#include <string>

namespace tintvale {

using Text = std::u16string;

}  // namespace tintvale
