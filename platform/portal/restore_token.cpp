#include "platform/portal/restore_token.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/hex_digit.h"

namespace tintvale::portal {

std::string RestoreTokenPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  // The XDG rule: a relative path is invalid and is ignored.
  if (state && state[0] == '/') return std::string(state) + "/tintvale/restore-token";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/state/tintvale/restore-token";
  return std::string();
}

bool IsRestoreToken(std::string_view t) {
  if (t.size() != 36) return false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? t[i] != '-' : HexDigitValue(static_cast<unsigned char>(t[i])) < 0) return false;
  }
  return true;
}

std::string ReadRestoreToken(const std::string& path) {
  if (path.empty()) return std::string();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return std::string();
  char buffer[128];
  std::string text;
  ssize_t n = 0;
  // A token is 36 characters; a longer file is not one of ours.
  while (text.size() <= 64 && ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))) {
    if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return IsRestoreToken(text) ? text : std::string();
}

bool WriteRestoreToken(const std::string& path, const std::string& token) {
  if (path.empty()) return false;
  if (token.empty()) return ::unlink(path.c_str()) == 0 || errno == ENOENT;
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return false;
  // Each missing folder on the way, as mkdir -p would; the state folder itself may not exist yet.
  for (std::size_t at = path.find('/', 1); at != std::string::npos && at <= slash; at = path.find('/', at + 1)) {
    const std::string dir = path.substr(0, at);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());  // created 0600
  if (fd < 0) return false;
  const std::string text = token + "\n";
  bool ok = ::fchmod(fd, 0600) == 0;
  std::size_t done = 0;
  while (ok && done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace tintvale::portal
