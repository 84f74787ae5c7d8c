// The registry read from export files: what each line of a file gives (type and bytes, or nothing), which
// file answers, where the files are looked for, and the About box's launcher running on it.
#include "platform/regfile/reg_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "base/utf8.h"
#include "main_window/form1.h"
#include "main_window/program.h"
#include "platform/fake/fake_platform.h"

namespace tintvale {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kHkeyCurrentUser = 0x80000001u;
constexpr std::uint32_t kAllAccess = 0x2003Fu;

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kSection = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n";

using Bytes = std::vector<std::uint8_t>;
Bytes Of(std::string_view s) { return {s.begin(), s.end()}; }
Bytes Sz(std::string_view s) {
  Bytes b = Of(s);
  b.push_back(0);
  return b;
}

// The file's text as UTF-16LE with a byte-order mark, as a registry editor writes it.
std::string Utf16(const std::string& utf8) {
  std::string out = "\xFF\xFE";
  for (char16_t c : Utf8ToText(utf8)) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

// A value as the store gives it back.
struct Found {
  std::uint32_t type;
  Bytes data;
};

// A folder of its own for each test, removed afterwards.
class RegStore : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(::testing::TempDir()) / (std::string("tintvale_reg_") + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

  // The value as GetKeyValue would see it: opened for reading, asked with room for all of it.
  static std::optional<Found> Lookup(RegFileRegistry& reg, const Text& key, const Text& value,
                                     std::uint32_t root = kHkeyLocalMachine) {
    std::unique_ptr<RegistryKey> k;
    if (reg.OpenKey(root, key, kKeyRead, k) != kErrorSuccess) return std::nullopt;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (k->QueryValue(value, type, nullptr, size) != kErrorSuccess) return std::nullopt;
    Bytes data(size);
    if (k->QueryValue(value, type, data.data(), size) != kErrorSuccess) return std::nullopt;
    data.resize(size);
    return Found{type, data};
  }

  std::optional<Found> LookupIn(const std::string& fileBytes, const Text& key = u"SOFTWARE\\Test",
                                const Text& value = u"V") {
    RegFileRegistry reg({Write("registry.reg", fileBytes)});
    return Lookup(reg, key, value);
  }

  fs::path dir_;
};

std::string Describe(const std::optional<Found>& f) {
  if (!f) return "missing";
  std::string s = "type " + std::to_string(f->type) + ":";
  for (auto b : f->data) s += " " + std::to_string(b);
  return s;
}

TEST_F(RegStore, EachValueLineGivesItsTypeAndBytesOrNothing) {
  const std::string big(70000, 'x');
  std::string bigHex = "hex:00";
  for (int i = 0; i < 70000; ++i) bigHex += ",ab";
  struct Row {
    std::string line;
    std::optional<Found> expected;
  } rows[] = {
      {R"("V"="abc")", Found{kRegSz, Sz("abc")}},
      {R"("V"="C:\\Program Files\\Tool\\tool.exe")", Found{kRegSz, Sz("C:\\Program Files\\Tool\\tool.exe")}},
      {R"("V"="C:\\")", Found{kRegSz, Sz("C:\\")}},
      {R"("V"="say \"hi\"")", Found{kRegSz, Sz("say \"hi\"")}},
      {R"("V"="")", Found{kRegSz, {0}}},
      {R"("V"="/opt/ｼｽﾃﾑ情報/run")", Found{kRegSz, Sz("/opt/ｼｽﾃﾑ情報/run")}},
      {R"("V" = "blanks around the sign")", Found{kRegSz, Sz("blanks around the sign")}},
      {R"(  "V"="indented" ; and a comment)", Found{kRegSz, Sz("indented")}},
      {R"("v"="name in another case")", Found{kRegSz, Sz("name in another case")}},
      {R"("V"=dword:00000105)", Found{kRegDword, {0x05, 0x01, 0x00, 0x00}}},
      {R"("V"=DWORD:ffffffff)", Found{kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}}},
      {R"("V"=dword:7)", Found{kRegDword, {7, 0, 0, 0}}},
      {R"("V"=hex:de,ad,BE,ef)", Found{kRegBinary, {0xDE, 0xAD, 0xBE, 0xEF}}},
      {R"("V"=hex: 1, 2 ,3)", Found{kRegBinary, {1, 2, 3}}},
      {R"("V"=hex:)", Found{kRegBinary, {}}},
      {"\"V\"=hex:de,ad,\\\r\n  be,ef", Found{kRegBinary, {0xDE, 0xAD, 0xBE, 0xEF}}},
      {"\"V\"=hex(2):43,00,3a,00,\\\n  00,00", Found{kRegExpandSz, Sz("C:")}},
      {R"("V"=hex(7):61,00,00,00,00,00)", Found{kRegMultiSz, {0x61, 0, 0}}},
      {R"("V"=hex(1):b7,30,b9,30,c6,30,e0,30,00,00)", Found{kRegSz, Sz("システム")}},
      {R"("V"=hex(1):61,00,00)", std::nullopt},  // text types hold UTF-16LE: an odd length is malformed
      {R"("V"=hex(b):01,00,00,00,00,00,00,00)", Found{kRegQword, {1, 0, 0, 0, 0, 0, 0, 0}}},
      {R"("V"=hex(0):)", Found{0, {}}},
      {"\"V\"=\"" + std::string(65534, 'x') + "\"", Found{kRegSz, Sz(std::string(65534, 'x'))}},
      // Malformed: the line is skipped.
      {R"("V"="bad \q escape")", std::nullopt},
      {R"("V"="unterminated)", std::nullopt},
      {"\"V\"=\"a line break inside a string \\\r\n is no continuation\"", std::nullopt},
      {R"("V"="text" trailing)", std::nullopt},
      {R"("V"=unquoted)", std::nullopt},
      {R"("V" "no sign")", std::nullopt},
      {R"("V=broken name")", std::nullopt},
      {R"(V="unquoted name")", std::nullopt},
      {R"("V"=dword:123456789)", std::nullopt},
      {R"("V"=dword:)", std::nullopt},
      {R"("V"=dword:xyz)", std::nullopt},
      {R"("V"=dword:-1)", std::nullopt},
      {R"("V"=hex:zz)", std::nullopt},
      {R"("V"=hex:123)", std::nullopt},
      {R"("V"=hex:de,,ad)", std::nullopt},
      {R"("V"=hex:de,ad,)", std::nullopt},
      {R"("V"=hex(q):00)", std::nullopt},
      {R"("V"=hex(123456789):00)", std::nullopt},
      {R"("V"=hex(2:00)", std::nullopt},
      {R"(; "V"="commented out")", std::nullopt},
      {"\"V\"=\"" + big + "\"", std::nullopt},
      {"\"V\"=" + bigHex, std::nullopt},
      {"\"V\"=\"a\"\r\n\"V\"=-", std::nullopt},
  };
  for (const auto& row : rows) {
    const auto got = LookupIn(kHeader + kSection + row.line + "\r\n");
    EXPECT_EQ(Describe(got), Describe(row.expected)) << "line: " << row.line.substr(0, 80);
  }
}

TEST_F(RegStore, TheDefaultValueAnswersToTheEmptyName) {
  EXPECT_EQ(Describe(LookupIn(kHeader + kSection + "@=\"default\"\r\n", u"SOFTWARE\\Test", u"")),
            Describe(Found{kRegSz, Sz("default")}));
}

TEST_F(RegStore, WholeFilesWellFormedOrNot) {
  const std::string value = "\"V\"=\"ok\"\r\n";
  const std::optional<Found> ok = Found{kRegSz, Sz("ok")};
  struct Row {
    const char* name;
    std::string file;
    std::optional<Found> expected;
  } rows[] = {
      {"version 5 header", kHeader + kSection + value, ok},
      {"REGEDIT4 header", "REGEDIT4\r\n\r\n" + kSection + value, ok},
      {"REGEDIT4 keeps the bytes of a text written as hex", "REGEDIT4\r\n" + kSection + "\"V\"=hex(1):6f,6b,00\r\n",
       ok},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + kHeader + kSection + value, ok},
      {"UTF-16LE with its byte-order mark", Utf16(kHeader + kSection + value), ok},
      {"UTF-16LE text", Utf16(kHeader + kSection + "\"V\"=\"ｼｽﾃﾑ\"\r\n"), Found{kRegSz, Sz("ｼｽﾃﾑ")}},
      {"UTF-16LE with an odd last byte", Utf16(kHeader + kSection + value) + "\x41", ok},
      {"UTF-16LE without a byte-order mark", Utf16(kHeader + kSection + value).substr(2), std::nullopt},
      {"line feeds only", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n" + value, ok},
      {"no line end at the end", kHeader + kSection + "\"V\"=\"ok\"", ok},
      {"blank lines before the header", "\r\n\r\n" + kHeader + kSection + value, ok},
      {"short root name", kHeader + "[HKLM\\SOFTWARE\\Test]\r\n" + value, ok},
      {"key in another case", kHeader + "[hkey_local_machine\\software\\TEST]\r\n" + value, ok},
      {"doubled and trailing separators", kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\\\Test\\]\r\n" + value, ok},
      {"a bad line does not stop the next", kHeader + kSection + "\"V\"=hex:zz\r\n" + value, ok},
      {"the later of two lines wins", kHeader + kSection + "\"V\"=\"first\"\r\n" + value, ok},
      {"the section again later", kHeader + kSection + value + "[HKLM\\X]\r\n" + kSection, ok},
      {"no header", kSection + value, std::nullopt},
      {"another header", "Windows Registry Editor Version 6.00\r\n" + kSection + value, std::nullopt},
      {"empty file", "", std::nullopt},
      {"binary noise", std::string("\x00\x01\xFF\xFE\x00[\\\"", 9), std::nullopt},
      {"missing closing bracket", kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\r\n" + value, std::nullopt},
      {"missing opening bracket", kHeader + "HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n" + value, std::nullopt},
      {"empty brackets", kHeader + "[]\r\n" + value, std::nullopt},
      {"unknown root", kHeader + "[HKEY_ELSEWHERE\\SOFTWARE\\Test]\r\n" + value, std::nullopt},
      {"value before any section", kHeader + value + kSection, std::nullopt},
      {"value after a bad section", kHeader + kSection + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\r\n" + value,
       std::nullopt},
      {"key deleted later", kHeader + kSection + value + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n", std::nullopt},
      {"parent deleted later", kHeader + kSection + value + "[-HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n", std::nullopt},
      {"a sibling deleted later", kHeader + kSection + value + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Testing]\r\n", ok},
      {"over the file size limit", kHeader + kSection + value + std::string(kRegMaxFileBytes, ';'), std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Describe(LookupIn(row.file)), Describe(row.expected)) << row.name;
  }
}

TEST_F(RegStore, TheFirstFileThatHoldsTheKeyAnswers) {
  const auto a = Write("a.reg", kHeader + kSection + "\"Other\"=\"a\"\r\n");
  const auto b = Write("b.reg", kHeader + kSection + "\"V\"=\"b\"\r\n\"Other\"=\"b\"\r\n");
  const auto onlyChild = Write("child.reg", kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Child]\r\n");
  const auto broken = Write("broken.reg", "not a registry file\r\n" + kSection + "\"V\"=\"broken\"\r\n");
  const auto folder = dir_ / "folder.reg";
  fs::create_directories(folder);
  struct Row {
    const char* name;
    std::vector<fs::path> files;
    const char16_t* value;
    std::optional<Found> expected;
  } rows[] = {
      {"the first file holds the key but not the value", {a, b}, u"V", std::nullopt},
      {"the first file answers for every value of the key", {a, b}, u"Other", Found{kRegSz, Sz("a")}},
      {"in the other order", {b, a}, u"Other", Found{kRegSz, Sz("b")}},
      {"a missing first file", {dir_ / "none.reg", b}, u"V", Found{kRegSz, Sz("b")}},
      {"a folder in place of a file", {folder, b}, u"V", Found{kRegSz, Sz("b")}},
      {"a malformed first file", {broken, b}, u"V", Found{kRegSz, Sz("b")}},
      {"a file holding only a sub-key does not hide the key", {onlyChild, b}, u"V", Found{kRegSz, Sz("b")}},
      {"no files", {}, u"V", std::nullopt},
  };
  for (const auto& row : rows) {
    RegFileRegistry reg(row.files);
    EXPECT_EQ(Describe(Lookup(reg, u"SOFTWARE\\Test", row.value)), Describe(row.expected)) << row.name;
  }
}

TEST_F(RegStore, AnEditedFileIsSeenAtTheNextLookup) {
  const fs::path file = dir_ / "registry.reg";
  RegFileRegistry reg({file});
  EXPECT_EQ(Describe(Lookup(reg, u"SOFTWARE\\Test", u"V")), "missing");
  Write("registry.reg", kHeader + kSection + "\"V\"=\"first\"\r\n");
  EXPECT_EQ(Describe(Lookup(reg, u"SOFTWARE\\Test", u"V")), Describe(Found{kRegSz, Sz("first")}));
  Write("registry.reg", kHeader + kSection + "\"V\"=dword:00000002\r\n");
  EXPECT_EQ(Describe(Lookup(reg, u"SOFTWARE\\Test", u"V")), Describe(Found{kRegDword, {2, 0, 0, 0}}));
  fs::remove(file);
  EXPECT_EQ(Describe(Lookup(reg, u"SOFTWARE\\Test", u"V")), "missing");
}

TEST_F(RegStore, KeysOpenLikeTheRegistrysOwn) {
  RegFileRegistry reg({Write("r.reg", kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Tool]\r\n"
                                                "\"V\"=\"machine\"\r\n"
                                                "[HKEY_CURRENT_USER\\SOFTWARE\\Vendor\\Tool]\r\n"
                                                "\"V\"=\"user\"\r\n")});
  struct Row {
    const char* name;
    std::uint32_t root;
    const char16_t* key;
    std::uint32_t access;
    long result;
  } rows[] = {
      {"read access", kHkeyLocalMachine, u"SOFTWARE\\Vendor\\Tool", kKeyRead, kErrorSuccess},
      {"write access is refused: the files are only read", kHkeyLocalMachine, u"SOFTWARE\\Vendor\\Tool", kAllAccess,
       kErrorAccessDenied},
      {"a key on the path of one named", kHkeyLocalMachine, u"SOFTWARE\\Vendor", kKeyRead, kErrorSuccess},
      {"the root itself", kHkeyLocalMachine, u"", kKeyRead, kErrorSuccess},
      {"a missing key", kHkeyLocalMachine, u"SOFTWARE\\Vendor\\Other", kKeyRead, kErrorFileNotFound},
      {"a missing key with write access", kHkeyLocalMachine, u"SOFTWARE\\Other", kAllAccess, kErrorFileNotFound},
      {"another root", kHkeyCurrentUser, u"SOFTWARE\\Vendor\\Tool", kKeyRead, kErrorSuccess},
      {"an unknown root", 0x12345678u, u"SOFTWARE\\Vendor\\Tool", kKeyRead, kErrorFileNotFound},
  };
  for (const auto& row : rows) {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(reg.OpenKey(row.root, row.key, row.access, key), row.result) << row.name;
    EXPECT_EQ(key != nullptr, row.result == kErrorSuccess) << row.name;
  }
  EXPECT_EQ(Describe(Lookup(reg, u"software\\vendor\\TOOL", u"v", kHkeyCurrentUser)),
            Describe(Found{kRegSz, Sz("user")}));
}

TEST_F(RegStore, AValueTooLargeForTheBufferLeavesItUntouched) {
  RegFileRegistry reg({Write("r.reg", kHeader + kSection + "\"V\"=\"abcdef\"\r\n")});
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, u"SOFTWARE\\Test", kKeyRead, key), kErrorSuccess);
  std::uint8_t buffer[6] = {9, 9, 9, 9, 9, 9};
  std::uint32_t type = 0;
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(key->QueryValue(u"V", type, buffer, size), kErrorMoreData);
  EXPECT_EQ(size, 7u);  // six characters and the terminator
  EXPECT_EQ(type, kRegSz);
  for (auto b : buffer) EXPECT_EQ(b, 9);
  EXPECT_EQ(key->QueryValue(u"missing", type, buffer, size), kErrorFileNotFound);
}

// Sets environment variables for one test and puts the old values back.
class Environment {
 public:
  void Set(const char* name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~Environment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(RegStore, FilesAreLookedForInTheXdgConfigFolders) {
  struct Row {
    const char* name;
    const char* configHome;
    const char* configDirs;
    const char* home;
    std::vector<std::string> expected;
  } rows[] = {
      {"both set",
       "/cfg",
       "/a:/b",
       "/home/u",
       {"/cfg/tintvale/registry.reg", "/a/tintvale/registry.reg", "/b/tintvale/registry.reg"}},
      {"neither set",
       nullptr,
       nullptr,
       "/home/u",
       {"/home/u/.config/tintvale/registry.reg", "/etc/xdg/tintvale/registry.reg"}},
      {"both empty", "", "", "/home/u", {"/home/u/.config/tintvale/registry.reg", "/etc/xdg/tintvale/registry.reg"}},
      {"relative paths are ignored",
       "rel",
       "rel:/a::/b/",
       "/home/u",
       {"/home/u/.config/tintvale/registry.reg", "/a/tintvale/registry.reg", "/b/tintvale/registry.reg"}},
      {"no home", nullptr, "/a", nullptr, {"/a/tintvale/registry.reg"}},
  };
  for (const auto& row : rows) {
    Environment env;
    env.Set("XDG_CONFIG_HOME", row.configHome);
    env.Set("XDG_CONFIG_DIRS", row.configDirs);
    env.Set("HOME", row.home);
    std::vector<std::string> got;
    for (const auto& p : RegFileRegistry::XdgRegistryFiles()) got.push_back(fs::path(p).lexically_normal());
    std::vector<std::string> expected;
    for (const auto& p : row.expected) expected.push_back(fs::path(p).lexically_normal());
    EXPECT_EQ(got, expected) << row.name;
  }
}

// The fake platform with its registry replaced by the files.
class FilePlatform : public fake::FakePlatform {
 public:
  explicit FilePlatform(const std::vector<fs::path>& regFiles) : store(regFiles) {}
  tintvale::Registry& Registry() override { return store; }
  RegFileRegistry store;
};

TEST_F(RegStore, TheLauncherFindsTheToolThroughTheFiles) {
  const auto home = dir_ / "home";
  const auto system = dir_ / "system";
  Write("system/tintvale/registry.reg",
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\n"
        "\"MSINFO\"=\"/usr/lib/sysinfo\"\n");
  struct Row {
    const char* name;
    std::string userFile;  // empty: no file in the user's folder
    std::vector<Text> attempts;
  } rows[] = {
      {"the user's file names the program",
       kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\r\n"
                 "\"PATH\"=\"/opt/sys info/bin/sysinfo\"\r\n",
       {u"/opt/sys info/bin/sysinfo"}},
      {"no user file: the system folder's program", "", {u"/usr/lib/sysinfo\\MSINFO32.EXE"}},
      {"a malformed user file is passed over", "PATH=/opt/x\n", {u"/usr/lib/sysinfo\\MSINFO32.EXE"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(home);
    if (!row.userFile.empty()) Write("home/tintvale/registry.reg", row.userFile);
    Environment env;
    env.Set("XDG_CONFIG_HOME", home.c_str());
    env.Set("XDG_CONFIG_DIRS", system.c_str());
    FilePlatform sys(RegFileRegistry::XdgRegistryFiles());
    sys.files.normalFiles.insert(u"/usr/lib/sysinfo\\MSINFO32.EXE");
    for (const auto& t : row.attempts) sys.processes.programs.insert(t);
    Program p(sys);
    p.Start();
    sys.toolkit.UserOf("Form1").Type(Text2, u"/info\r");
    sys.toolkit.UserOf("frmAbout").Click(cmdSysInfo);
    EXPECT_EQ(sys.processes.attempts, row.attempts);
    EXPECT_TRUE(sys.messages.shown.empty());
  }
}

}  // namespace
}  // namespace tintvale
