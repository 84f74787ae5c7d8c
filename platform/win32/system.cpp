#include "platform/win32/system.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/win32/command_line.h"
#include "platform/win32/native.h"

namespace tintvale::win32 {
namespace {

std::string Narrow(const Text& text) {
  if (text.empty()) return std::string();
  const std::wstring wide = Wide(text);
  const int size =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), size, nullptr, nullptr);
  return narrow;
}

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  long QueryValue(const Text& valueName, std::uint32_t& type, std::uint8_t* data, std::uint32_t& size) override {
    // Read into a buffer of our own: Windows does not promise to leave the caller's data untouched when
    // the value is too long, the seam does.
    std::string buffer(size, '\0');
    DWORD valueType = 0;
    DWORD bytes = size;
    const LONG rc = RegQueryValueExA(key_, Narrow(valueName).c_str(), nullptr, &valueType,
                                     reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
      type = valueType;
      size = bytes;
    }
    if (rc == ERROR_SUCCESS && bytes > 0) std::memcpy(data, buffer.data(), bytes);
    return rc;
  }

 private:
  HKEY key_;
};

}  // namespace

long Win32System::OpenKey(std::uint32_t root, const Text& keyName, std::uint32_t access,
                          std::unique_ptr<RegistryKey>& key) {
  HKEY opened = nullptr;
  const HKEY rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
  const LONG rc = RegOpenKeyExA(rootKey, Narrow(keyName).c_str(), 0, access, &opened);
  if (rc == ERROR_SUCCESS) key = std::make_unique<Win32RegistryKey>(opened);
  return rc;
}

Text Win32System::DecodeNarrow(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return Text();
  const auto* p = reinterpret_cast<const char*>(bytes.data());
  const int n = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, p, n, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, p, n, wide.data(), size);
  return FromWide(wide);
}

bool Win32System::Start(const Text& path) {
  // The path is the application name, so nothing is searched for or split at blanks; the command
  // line (which CreateProcessW may write to) repeats it in quotes as the child's own name.
  std::wstring application = Wide(path);
  std::wstring commandLine = Wide(QuotedCommandLine(path));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return false;
  }
  KernelHandle process(info.hProcess);  // not waited for
  KernelHandle thread(info.hThread);
  return true;
}

bool Win32System::NormalFileExists(const Text& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(Wide(path).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool normal = false;
  do {
    normal = IsNormalFile(found.dwFileAttributes);
  } while (!normal && FindNextFileW(search, &found));
  FindClose(search);
  return normal;
}

void Win32System::Show(const Text& message, const Text& title) {
  // Owned by the active window of the program, so it is modal to the window that asked.
  MessageBoxW(GetActiveWindow(), Wide(message).c_str(), Wide(title).c_str(), MB_OK);
}

bool IsNormalFile(unsigned long attributes) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

}  // namespace tintvale::win32
