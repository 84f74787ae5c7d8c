// The Win32 services other than the forms (under Wine): the screen, the registry's narrow functions, the
// file test and process start.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/system.h"
#include "tests/wine/backend_support.h"

namespace tintvale::win32 {
namespace {

TEST(FileAttributes, OnlyFilesThatAreNeitherFoldersNorHiddenNorSystemCount) {
  struct Row {
    DWORD attributes;
    bool normal;
  } rows[] = {
      {FILE_ATTRIBUTE_NORMAL, true},
      {FILE_ATTRIBUTE_ARCHIVE, true},  // what Wine reports for every file
      {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, true},
      {FILE_ATTRIBUTE_DIRECTORY, false},
      {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, false},
      {FILE_ATTRIBUTE_SYSTEM, false},
      {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false},
  };
  for (const Row& r : rows) EXPECT_EQ(IsNormalFile(r.attributes), r.normal) << std::hex << r.attributes;
}

TEST_F(Win32Backend, ScreenReadsWindowPixelsAndGivesInvalidOutsideTheScreen) {
  Recorder events;
  auto w = platform->Toolkit().BuildWindow(TestLayout(false), events, nullptr);
  w->Show();
  w->SetBackColor(kPicture, 0x3366CC);
  HWND picture = Child(*w, kPicture);
  auto screen = platform->ScreenServices().GetScreen();
  ASSERT_TRUE(screen);
  RECT r;
  GetWindowRect(picture, &r);
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  // The X window maps asynchronously: wait until the screen shows it.
  EXPECT_TRUE(WaitFor(platform->Toolkit(), [&] { return screen->Pixel(cx, cy) == 0x3366CC; }))
      << std::hex << screen->Pixel(cx, cy);
  EXPECT_EQ(screen->Pixel(-100000, -100000), kInvalidColor);
  ScreenPoint p;
  EXPECT_TRUE(platform->ScreenServices().CursorPos(p));
}

// A key of its own under HKLM, removed again afterwards.
class Win32Registry : public Win32Backend {
 protected:
  static constexpr wchar_t kKey[] = L"SOFTWARE\\Tintvale Backend Test";
  void SetUp() override {
    Win32Backend::SetUp();
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr), 0);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
  }
  void SetBytes(const char* name, DWORD type, const std::string& bytes) {
    RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  }
  HKEY key_ = nullptr;
};

TEST_F(Win32Registry, ValuesReadWithTypeSizeAndTerminatorAndLongOnesLeaveTheBufferAlone) {
  SetBytes("PATH", REG_SZ, std::string("C:\\Tools\\info.exe") + '\0');
  SetBytes("EMPTY", REG_SZ, std::string(1, '\0'));
  SetBytes("DW", REG_DWORD, std::string("\x78\x56\x34\x12", 4));
  SetBytes("BIG", REG_SZ, std::string(40, 'x') + '\0');
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(platform->Registry().OpenKey(kHkeyLocalMachine, u"SOFTWARE\\Tintvale Backend Test", kKeyRead, key),
            kErrorSuccess);
  struct Row {
    const char16_t* name;
    long rc;
    std::uint32_t type;
    std::uint32_t size;
    std::string data;
  } rows[] = {
      {u"PATH", kErrorSuccess, REG_SZ, 18, std::string("C:\\Tools\\info.exe") + '\0'},
      {u"path", kErrorSuccess, REG_SZ, 18, std::string("C:\\Tools\\info.exe") + '\0'},
      {u"EMPTY", kErrorSuccess, REG_SZ, 1, std::string(1, '\0')},
      {u"DW", kErrorSuccess, REG_DWORD, 4, std::string("\x78\x56\x34\x12", 4)},
      {u"BIG", kErrorMoreData, REG_SZ, 41, std::string(32, '@')},
      {u"MISSING", kErrorFileNotFound, 0, 32, std::string(32, '@')},
  };
  for (const Row& r : rows) {
    std::uint8_t buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), '@');
    std::uint32_t type = 0, size = sizeof buffer;
    EXPECT_EQ(key->QueryValue(r.name, type, buffer, size), r.rc) << Show(r.name);
    EXPECT_EQ(type, r.type) << Show(r.name);
    EXPECT_EQ(size, r.size) << Show(r.name);
    const std::size_t compare = r.rc == kErrorSuccess ? r.data.size() : sizeof buffer;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), compare), r.data) << Show(r.name);
  }
  std::unique_ptr<RegistryKey> missing;
  EXPECT_EQ(platform->Registry().OpenKey(kHkeyLocalMachine, u"SOFTWARE\\Tintvale No Such Key", kKeyRead, missing),
            kErrorFileNotFound);
  EXPECT_FALSE(missing);
  EXPECT_EQ(Show(platform->Registry().DecodeNarrow({'C', ':', '\\', 'x'})), "C:\\x");
}

// A scratch folder with blanks in its name, emptied afterwards.
class Win32Files : public Win32Backend {
 protected:
  void SetUp() override {
    Win32Backend::SetUp();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"Tint vale test " + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const auto& f : made_) {
      SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileW(f.c_str())) RemoveDirectoryW(f.c_str());
    }
    RemoveDirectoryW(dir_.c_str());
  }
  std::wstring Make(const std::wstring& name, DWORD attributes, bool folder = false) {
    const std::wstring path = dir_ + L"\\" + name;
    if (folder) {
      CreateDirectoryW(path.c_str(), nullptr);
    } else {
      HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      CloseHandle(h);
    }
    if (attributes) SetFileAttributesW(path.c_str(), attributes);
    made_.push_back(path);
    return path;
  }
  std::wstring dir_;
  std::vector<std::wstring> made_;
};

TEST_F(Win32Files, NormalFileExistsOnlyForPlainFiles) {
  struct Row {
    std::wstring path;
    bool exists;
  } rows[] = {
      {Make(L"plain.exe", 0), true},
      {Make(L"日本語.exe", 0), true},
      {Make(L"readonly.exe", FILE_ATTRIBUTE_READONLY), true},
      {Make(L"hidden.exe", FILE_ATTRIBUTE_HIDDEN), false},
      {Make(L"system.exe", FILE_ATTRIBUTE_SYSTEM), false},
      {Make(L"folder.exe", 0, true), false},
      {dir_ + L"\\missing.exe", false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(platform->FileTest().NormalFileExists(FromWide(r.path)), r.exists) << Show(FromWide(r.path));
  }
}

TEST_F(Win32Files, ProcessStartRunsExactlyTheNamedFileWithItsQuotedName) {
  // The stub writes its command line next to itself. A decoy named like the path cut at the first blank
  // would run instead if the path were split.
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring stub = self;
  stub = stub.substr(0, stub.rfind(L'\\') + 1) + L"tintvale_test_tool.exe";
  const std::wstring sub = Make(L"Tools Folder", 0, true);
  const std::wstring target = sub + L"\\tool.exe";
  ASSERT_TRUE(CopyFileW(stub.c_str(), target.c_str(), FALSE));
  made_.insert(made_.begin(), target);
  made_.insert(made_.begin(), target + L".ran");
  const std::wstring decoy = dir_ + L"\\Tools.exe";
  ASSERT_TRUE(CopyFileW(stub.c_str(), decoy.c_str(), FALSE));
  made_.insert(made_.begin(), decoy);
  made_.insert(made_.begin(), decoy + L".ran");

  ASSERT_TRUE(platform->ProcessStarter().Start(FromWide(target)));
  const std::wstring marker = target + L".ran";
  ASSERT_TRUE(WaitFor(
      platform->Toolkit(), [&] { return GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000));
  EXPECT_EQ(GetFileAttributesW((decoy + L".ran").c_str()), INVALID_FILE_ATTRIBUTES);
  HANDLE h = INVALID_HANDLE_VALUE;
  ASSERT_TRUE(WaitFor(platform->Toolkit(), [&] {
    h = CreateFileW(marker.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return h != INVALID_HANDLE_VALUE;  // the stub has closed it
  }));
  wchar_t text[1024] = {};
  DWORD got = 0;
  ReadFile(h, text, sizeof text - sizeof(wchar_t), &got, nullptr);
  CloseHandle(h);
  EXPECT_EQ(std::wstring(text), L"\"" + target + L"\"");

  EXPECT_FALSE(platform->ProcessStarter().Start(FromWide(dir_ + L"\\missing.exe")));
}

}  // namespace
}  // namespace tintvale::win32
