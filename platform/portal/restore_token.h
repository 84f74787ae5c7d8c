// The one file Tintvale writes: the screen-cast portal's restore token, kept between runs so the
// desktop's chooser shows only the first time.
#pragma once

#include <string>
#include <string_view>

namespace tintvale::portal {

// The restore token file: $XDG_STATE_HOME/tintvale/restore-token, or ~/.local/state/tintvale/... when
// XDG_STATE_HOME is unset or not absolute. Empty when neither it nor HOME can be found.
std::string RestoreTokenPath();
// A token as the portal hands them out: a UUID in text form.
bool IsRestoreToken(std::string_view text);
// The token kept in the file, or empty when the file is missing, unreadable or holds no token.
std::string ReadRestoreToken(const std::string& path);
// Keeps token in the file (mode 0600, its folder made 0700 when missing), written to a temporary file
// and renamed over the old one, so a crash never leaves half a token; an empty token removes the file.
bool WriteRestoreToken(const std::string& path, const std::string& token);

}  // namespace tintvale::portal
