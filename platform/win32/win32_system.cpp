#include "platform/win32/win32_system.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/win32/native.h"
#include "platform/win32/win32_forms.h"

namespace tintvale::win32 {
namespace {

// The whole screen's device context from GetDC(NULL), given back with ReleaseDC when destroyed.
class ScreenDc : public ScreenContext {
 public:
  explicit ScreenDc(HDC dc) : dc_(dc) {}
  ~ScreenDc() override { ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ColorValue Pixel(std::int32_t x, std::int32_t y) override {
    return GetPixel(dc_, x, y);  // CLR_INVALID is all bits set, the same as kInvalidColor
  }

 private:
  HDC dc_;
};

class Win32Screen : public ScreenServices {
 public:
  std::unique_ptr<ScreenContext> GetScreen() override {
    HDC dc = GetDC(nullptr);
    if (!dc) return nullptr;
    return std::make_unique<ScreenDc>(dc);
  }
  bool CursorPos(ScreenPoint& point) override {
    // Physical pixels because the process is per-monitor DPI aware, so monitors left of or above the
    // primary one give negative coordinates that GetPixel reads at the same place.
    POINT p;
    if (!GetCursorPos(&p)) return false;
    point = {p.x, p.y};
    return true;
  }
  bool MovePointer(ScreenPoint /*point*/) override { return false; }
};

std::string Narrow(const Text& text) {
  if (text.empty()) return std::string();
  const std::wstring wide = Wide(text);
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                       nullptr);
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

class Win32Registry : public Registry {
 public:
  long OpenKey(std::uint32_t root, const Text& keyName, std::uint32_t access,
               std::unique_ptr<RegistryKey>& key) override {
    HKEY opened = nullptr;
    const HKEY rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
    const LONG rc = RegOpenKeyExA(rootKey, Narrow(keyName).c_str(), 0, access, &opened);
    if (rc == ERROR_SUCCESS) key = std::make_unique<Win32RegistryKey>(opened);
    return rc;
  }
  Text DecodeNarrow(const std::vector<std::uint8_t>& bytes) override {
    if (bytes.empty()) return Text();
    const auto* p = reinterpret_cast<const char*>(bytes.data());
    const int n = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, p, n, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, p, n, wide.data(), size);
    return FromWide(wide);
  }
};

class Win32Processes : public ProcessStarter {
 public:
  bool Start(const Text& path) override {
    // The path is the application name, so nothing is searched for or split at blanks; the command
    // line (which CreateProcessW may write to) repeats it in quotes as the child's own name.
    std::wstring application = Wide(path);
    std::wstring commandLine = Wide(QuotedCommandLine(path));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
      return false;
    }
    KernelHandle process(info.hProcess);  // not waited for
    KernelHandle thread(info.hThread);
    return true;
  }
};

class Win32Files : public FileTest {
 public:
  bool NormalFileExists(const Text& path) override {
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
};

class Win32Messages : public MessageDialog {
 public:
  void Show(const Text& message, const Text& title) override {
    // Owned by the active window of the program, so it is modal to the window that asked.
    MessageBoxW(GetActiveWindow(), Wide(message).c_str(), Wide(title).c_str(), MB_OK);
  }
};

class Win32Platform : public Platform {
 public:
  explicit Win32Platform(HINSTANCE instance) : toolkit_(instance) {}
  Toolkit& Forms() override { return toolkit_; }
  ScreenServices& Screen() override { return screen_; }
  Registry& Reg() override { return registry_; }
  ProcessStarter& Processes() override { return processes_; }
  FileTest& Files() override { return files_; }
  MessageDialog& Messages() override { return messages_; }

 private:
  Win32Toolkit toolkit_;
  Win32Screen screen_;
  Win32Registry registry_;
  Win32Processes processes_;
  Win32Files files_;
  Win32Messages messages_;
};

}  // namespace

Text QuotedCommandLine(const Text& path) { return u"\"" + path + u"\""; }

bool IsNormalFile(unsigned long attributes) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

}  // namespace tintvale::win32

namespace tintvale {

std::unique_ptr<Platform> CreatePlatform(int /*argc*/, char** /*argv*/) {
  win32::DeclareDpiAwareness();
  return std::make_unique<win32::Win32Platform>(GetModuleHandleW(nullptr));
}

}  // namespace tintvale
