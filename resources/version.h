// The application's title and version numbers. Plain macros as well, so the Windows resource compiler and
// CMake can read the same numbers.
#pragma once

#define TINTVALE_VERSION_MAJOR 1
#define TINTVALE_VERSION_MINOR 5
#define TINTVALE_VERSION_REVISION 0

#ifndef RC_INVOKED
#include <cstdint>

namespace tintvale {

inline constexpr char16_t kAppTitle[] = u"Tintvale";
inline constexpr std::int16_t kVersionMajor = TINTVALE_VERSION_MAJOR;
inline constexpr std::int16_t kVersionMinor = TINTVALE_VERSION_MINOR;
inline constexpr std::int16_t kVersionRevision = TINTVALE_VERSION_REVISION;

}  // namespace tintvale
#endif
