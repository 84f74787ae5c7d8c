// The About box on the deterministic backend: its life beside the main window, its texts, the contact line
// that snaps back, and the system-information launcher with its registry reader.
#include "about_box/frm_about.h"

#include <gtest/gtest.h>

#include <string>

#include "base/utf8.h"
#include "main_window/form1.h"
#include "main_window/program.h"
#include "platform/fake/fake_platform.h"
#include "platform/fake/throwing_platform.h"

namespace tintvale {
namespace {

using fake::FakePlatform;
using fake::ThrowingPlatform;

const Text kPathKey = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const Text kFolderKey = u"SOFTWARE\\Microsoft\\Shared Tools Location";

std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }
std::vector<std::uint8_t> Sz(std::string_view s) {
  auto b = Bytes(s);
  b.push_back(0);
  return b;
}
std::string Show(const Text& t) { return TextToUtf8(t); }

class AboutBox : public ::testing::Test {
 protected:
  void Start() {
    program = std::make_unique<Program>(sys);
    program->Start();
    main = sys.toolkit.Window("Form1");
  }
  void TypeInfo() {
    fake::User(main).Replace(Text2, u"/info");
    fake::User(main).Type(Text2, u"\r");
  }
  std::shared_ptr<fake::WindowState> About() { return sys.toolkit.Window("frmAbout"); }
  frmAbout& box() { return program->AboutBox(); }

  FakePlatform sys;
  std::unique_ptr<Program> program;
  std::shared_ptr<fake::WindowState> main;
};

// ---------------------------------------------------------------- the window and its life

TEST_F(AboutBox, LoadReplacesEveryPlaceholderWithTheTitleAndVersion) {
  Start();
  TypeInfo();
  auto w = About();
  ASSERT_TRUE(w);
  EXPECT_TRUE(w->shown);
  EXPECT_EQ(Show(w->Caption(kWindowItself)), "Tintvaleのﾊﾞｰｼﾞｮﾝ情報");
  EXPECT_EQ(Show(w->Caption(lblTitle)), "Tintvale");
  EXPECT_EQ(Show(w->Caption(lblVersion)), "ﾊﾞｰｼﾞｮﾝ 1.5.0");
  EXPECT_EQ(Show(w->Caption(lblDescription)), "画面の任意の点から色を十六進数で取得");
  EXPECT_EQ(Show(w->Caption(cmdSysInfo)), "ｼｽﾃﾑ情報(&S)...");
  EXPECT_EQ(w->texts[Text1_Contact], kContactLine);
  EXPECT_EQ(Show(kContactLine).rfind("Mail: ", 0), 0u);
}

TEST_F(AboutBox, IsBuiltAboveTheMainWindowEveryTimeItLoads) {
  Start();
  TypeInfo();
  ASSERT_TRUE(About()->owner);
  EXPECT_EQ(About()->owner, main);
  fake::User(About()).Click(cmdOK);
  TypeInfo();
  EXPECT_EQ(sys.toolkit.WindowsBuilt("frmAbout"), 2);
  EXPECT_EQ(About()->owner, main);
  EXPECT_FALSE(main->owner);
  // Not blocking: the main window still samples and captures while the box is open.
  sys.screen.PaintAll(0x030201);
  sys.toolkit.Advance(10);
  fake::User(main).Replace(Text2, u"");
  fake::User(main).Type(Text2, u"\r");
  EXPECT_EQ(main->texts[Text2], u"#010203");
  EXPECT_TRUE(About()->Alive());
}

TEST_F(AboutBox, SecondInfoShowsTheSameWindowWithoutLoadingAgain) {
  Start();
  TypeInfo();
  About()->captions.clear();  // a second load would write the captions again
  TypeInfo();
  EXPECT_EQ(sys.toolkit.WindowsBuilt("frmAbout"), 1);
  EXPECT_TRUE(About()->Alive());
  EXPECT_TRUE(About()->captions.empty());
  EXPECT_EQ(program->App().LoadedWindows(), 2);
}

TEST_F(AboutBox, EveryWayOfClosingKeepsTheInstanceAndTheNextInfoLoadsItAgain) {
  struct Row {
    const char* how;
    void (*close)(fake::User&);
  } rows[] = {{"OK button", [](fake::User& u) { u.Click(cmdOK); }},
              {"close box or Esc", [](fake::User& u) { u.Close(); }}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.how);
    FakePlatform fresh;
    Program p(fresh);
    p.Start();
    auto mainUser = fresh.toolkit.UserOf("Form1");
    mainUser.Type(Text2, u"/info\r");
    frmAbout* first = &p.AboutBox();
    auto firstWindow = fresh.toolkit.Window("frmAbout");
    auto aboutUser = fresh.toolkit.UserOf("frmAbout");
    row.close(aboutUser);
    EXPECT_TRUE(firstWindow->destroyed);
    EXPECT_FALSE(p.AboutBox().Loaded());
    EXPECT_EQ(p.App().LoadedWindows(), 1);  // the main window goes on
    EXPECT_EQ(fresh.toolkit.quitRequests, 0);

    mainUser.Replace(Text2, u"/info");
    mainUser.Type(Text2, u"\r");
    EXPECT_EQ(&p.AboutBox(), first);
    EXPECT_EQ(fresh.toolkit.WindowsBuilt("frmAbout"), 2);
    auto again = fresh.toolkit.Window("frmAbout");
    EXPECT_TRUE(again->shown);
    for (int control : {kWindowItself, int{lblTitle}, int{lblVersion}}) {
      EXPECT_EQ(again->Caption(control), firstWindow->Caption(control)) << "control " << control;
    }
    EXPECT_EQ(again->texts[Text1_Contact], kContactLine);
  }
}

TEST_F(AboutBox, ClosingTheMainWindowEndsTheProgramInEveryStateOfTheAboutBox) {
  enum State { NeverOpened, Open, ClosedAgain, OpenFocusOnSysInfo };
  struct Row {
    const char* name;
    State state;
    int built;
  } rows[] = {{"no instance", NeverOpened, 0},
              {"loaded and shown", Open, 1},
              {"not loaded after OK", ClosedAgain, 1},
              {"open, focus on the system-information button", OpenFocusOnSysInfo, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform fresh;
    Program p(fresh);
    p.Start();
    auto mainUser = fresh.toolkit.UserOf("Form1");
    if (row.state != NeverOpened) mainUser.Type(Text2, u"/info\r");
    if (row.state == ClosedAgain) fresh.toolkit.UserOf("frmAbout").Click(cmdOK);
    if (row.state == OpenFocusOnSysInfo) fresh.toolkit.UserOf("frmAbout").Focus(cmdSysInfo);
    mainUser.Close();
    EXPECT_EQ(p.App().LoadedWindows(), 0);
    EXPECT_EQ(fresh.toolkit.quitRequests, 1);
    EXPECT_EQ(fresh.toolkit.WindowsBuilt("frmAbout"), row.built);
    if (row.built) {
      EXPECT_FALSE(fresh.toolkit.Window("frmAbout")->Alive());
    }
    EXPECT_EQ(fresh.screen.released, 1);
  }
}

TEST_F(AboutBox, OpeningAndClosingItLeavesTheSamplingAsItWas) {
  for (bool paused : {false, true}) {
    SCOPED_TRACE(paused ? "paused by a typed colour" : "sampling");
    FakePlatform fresh;
    fresh.screen.PaintAll(0x102030);
    Program p(fresh);
    p.Start();
    auto mainWindow = fresh.toolkit.Window("Form1");
    fake::User mainUser(mainWindow);
    fresh.toolkit.Advance(10);
    if (paused) {
      mainUser.Replace(Text2, u"#ABCDEF");
    }
    mainUser.Replace(Text2, u"/info");
    mainUser.Type(Text2, u"\r");
    EXPECT_EQ(mainWindow->timerRunning[Timer1], !paused);

    // Ticks go on (or stay stopped) while the About box is open and after it is closed.
    fresh.screen.PaintAll(0x405060);
    const int reads = fresh.screen.pixelReads;
    fresh.toolkit.Advance(30);
    EXPECT_EQ(fresh.screen.pixelReads, paused ? reads : reads + 3);
    fresh.toolkit.UserOf("frmAbout").Click(cmdOK);
    EXPECT_EQ(mainWindow->timerRunning[Timer1], !paused);
    fresh.toolkit.Advance(10);
    EXPECT_EQ(mainWindow->backColors[Picture1], paused ? 0xEFCDABu : 0x405060u);
  }
}

TEST_F(AboutBox, EditsToTheContactLineSnapBack) {
  Start();
  TypeInfo();
  auto w = About();
  fake::User u(w);
  struct Row {
    const char* edit;
    void (*apply)(fake::User&);
  } rows[] = {{"typing", [](fake::User& x) { x.Type(Text1_Contact, u"abc"); }},
              {"pasting", [](fake::User& x) { x.Paste(Text1_Contact, u"pasted"); }},
              {"deleting everything", [](fake::User& x) { x.Replace(Text1_Contact, u""); }},
              {"replacing", [](fake::User& x) { x.Replace(Text1_Contact, u"Mail: someone@else"); }},
              {"enter in the box", [](fake::User& x) { x.Type(Text1_Contact, u"\r"); }}};
  for (const auto& row : rows) {
    row.apply(u);
    EXPECT_EQ(w->texts[Text1_Contact], kContactLine) << row.edit;
    EXPECT_TRUE(w->Alive()) << row.edit;
  }
}

// ---------------------------------------------------------------- the registry reader

TEST_F(AboutBox, GetKeyValueConvertsEachTypeAsTheRegistryKeepsIt) {
  struct Row {
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    std::int16_t result;
    Text value;
  } rows[] = {
      {"text with its terminator", kRegSz, Sz("C:\\Tools\\info.exe"), -1, u"C:\\Tools\\info.exe"},
      {"text without a terminator keeps every byte", kRegSz, Bytes("abc"), -1, u"abc"},
      {"only the last of two zeros is dropped", kRegSz, Sz(std::string("ab\0", 3)), -1, Text(u"ab\0", 3)},
      {"empty text, one zero byte", kRegSz, {0}, -1, u""},
      {"no bytes at all", kRegSz, {}, -1, u""},
      {"narrow text is UTF-8", kRegSz, Sz("/opt/ｼｽﾃﾑ情報"), -1, u"/opt/ｼｽﾃﾑ情報"},
      {"number 0x105", kRegDword, {0x05, 0x01, 0x00, 0x00}, -1, u"261"},
      {"number zero", kRegDword, {0, 0, 0, 0}, -1, u"0"},
      {"number with a high byte", kRegDword, {0x00, 0x00, 0x00, 0x01}, -1, u"16777216"},
      {"largest number", kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}, -1, u"4294967295"},
      {"expandable text reads as empty", kRegExpandSz, Sz("%SystemRoot%\\x.exe"), -1, u""},
      {"binary reads as empty", kRegBinary, {1, 2, 3}, -1, u""},
      {"exactly 1024 bytes fit", kRegSz, Sz(std::string(1023, 'x')), -1, Text(1023, u'x')},
      {"1024 bytes without a terminator", kRegSz, Bytes(std::string(1024, 'y')), -1, Text(1024, u'y')},
      {"1025 bytes count as missing", kRegSz, Sz(std::string(1024, 'x')), 0, u""},
  };
  for (const auto& row : rows) {
    FakePlatform fresh;
    Program p(fresh);
    fresh.registry.Set(u"SOFTWARE\\Test", u"Value", {row.type, row.data});
    Text value;
    EXPECT_EQ(p.AboutBox().GetKeyValue(kHkeyLocalMachine, u"SOFTWARE\\Test", u"Value", value), row.result) << row.name;
    EXPECT_EQ(value, row.value) << row.name << ": \"" << Show(value) << "\"";
    EXPECT_EQ(fresh.registry.openKeys, 0) << row.name;
    ASSERT_EQ(fresh.registry.opens.size(), 1u) << row.name;
    EXPECT_EQ(fresh.registry.opens[0].second, kKeyRead) << row.name;
  }
}

TEST_F(AboutBox, GetKeyValueFailsWithEmptyTextAndLeavesOtherTypesAsPassed) {
  Start();
  sys.registry.Set(u"SOFTWARE\\Test", u"Number", {kRegDword, {1, 0, 0, 0}});
  sys.registry.Set(u"SOFTWARE\\Test", u"Binary", {kRegBinary, {1}});
  sys.registry.ReadOnly(u"SOFTWARE\\Test");
  struct Row {
    const char* name;
    std::uint32_t root;
    Text key, value, in;
    std::int16_t result;
    Text out;
  } rows[] = {
      {"missing key", kHkeyLocalMachine, u"SOFTWARE\\Nothing", u"Number", u"before", 0, u""},
      {"missing value", kHkeyLocalMachine, u"SOFTWARE\\Test", u"Nothing", u"before", 0, u""},
      {"another root", 0x80000001u, u"SOFTWARE\\Test", u"Number", u"before", 0, u""},
      {"names in another case, key readable only", kHkeyLocalMachine, u"software\\TEST", u"number", u"", -1, u"1"},
      {"another type keeps the text passed in", kHkeyLocalMachine, u"SOFTWARE\\Test", u"Binary", u"before", -1,
       u"before"}};
  for (const auto& row : rows) {
    Text out = row.in;
    EXPECT_EQ(box().GetKeyValue(row.root, row.key, row.value, out), row.result) << row.name;
    EXPECT_EQ(out, row.out) << row.name;
    EXPECT_EQ(sys.registry.openKeys, 0) << row.name;
  }
}

// ---------------------------------------------------------------- the launcher

struct LaunchRow {
  const char* name;
  void (*setup)(FakePlatform&);
  std::vector<Text> attempts;  // what the launcher tried to start, in order
  bool started;
  bool folderKeyAsked;
};

void PathValue(FakePlatform& s, RegValue v) { s.registry.Set(kPathKey, u"PATH", std::move(v)); }
void FolderValue(FakePlatform& s, const std::string& folder) {
  s.registry.Set(kFolderKey, u"MSINFO", {kRegSz, Sz(folder)});
}

const Text kTool = u"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe";
const Text kFolder = u"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo";
const Text kFolderTool = kFolder + u"\\MSINFO32.EXE";

const LaunchRow kLaunchRows[] = {
    {"PATH is read and starts",
     [](FakePlatform& s) {
       PathValue(s, {kRegSz, Sz(TextToUtf8(kTool))});
       s.processes.programs.insert(kTool);
     },
     {kTool},
     true,
     false},
    {"PATH names a missing program: no second lookup",
     [](FakePlatform& s) {
       PathValue(s, {kRegSz, Sz("C:\\gone\\msinfo32.exe")});
       FolderValue(s, TextToUtf8(kFolder));
       s.files.normalFiles.insert(kFolderTool);
       s.processes.programs.insert(kFolderTool);
     },
     {u"C:\\gone\\msinfo32.exe"},
     false,
     false},
    {"PATH present but empty",
     [](FakePlatform& s) {
       PathValue(s, {kRegSz, {0}});
       FolderValue(s, TextToUtf8(kFolder));
       s.files.normalFiles.insert(kFolderTool);
       s.processes.programs.insert(kFolderTool);
     },
     {u""},
     false,
     false},
    {"PATH of another type gives an empty path",
     [](FakePlatform& s) {
       PathValue(s, {kRegExpandSz, Sz(TextToUtf8(kTool))});
       s.processes.programs.insert(kTool);
     },
     {u""},
     false,
     false},
    {"PATH as a number is started as its decimal text",
     [](FakePlatform& s) {
       PathValue(s, {kRegDword, {0x05, 0x01, 0, 0}});
     },
     {u"261"},
     false,
     false},
    {"PATH without a terminator keeps its last byte",
     [](FakePlatform& s) {
       PathValue(s, {kRegSz, Bytes(TextToUtf8(kTool))});
       s.processes.programs.insert(kTool);
     },
     {kTool},
     true,
     false},
    {"PATH of exactly 1024 bytes",
     [](FakePlatform& s) {
       PathValue(s, {kRegSz, Sz("C:\\" + std::string(1020, 'p'))});
       s.processes.programs.insert(u"C:\\" + Text(1020, u'p'));
     },
     {u"C:\\" + Text(1020, u'p')},
     true,
     false},
    {"PATH of 1025 bytes counts as missing; the folder is used",
     [](FakePlatform& s) {
       PathValue(s, {kRegSz, Sz("C:\\" + std::string(1021, 'p'))});
       FolderValue(s, TextToUtf8(kFolder));
       s.files.normalFiles.insert(kFolderTool);
       s.processes.programs.insert(kFolderTool);
     },
     {kFolderTool},
     true,
     true},
    {"PATH key readable but not writable",
     [](FakePlatform& s) {
       PathValue(s, {kRegSz, Sz(TextToUtf8(kTool))});
       s.registry.ReadOnly(kPathKey);
       s.processes.programs.insert(kTool);
     },
     {kTool},
     true,
     false},
    {"PATH key without the value; the folder holds the program",
     [](FakePlatform& s) {
       s.registry.AddKey(kPathKey);
       FolderValue(s, TextToUtf8(kFolder));
       s.files.normalFiles.insert(kFolderTool);
       s.processes.programs.insert(kFolderTool);
     },
     {kFolderTool},
     true,
     true},
    {"only the folder, readable but not writable",
     [](FakePlatform& s) {
       FolderValue(s, TextToUtf8(kFolder));
       s.registry.ReadOnly(kFolderKey);
       s.files.normalFiles.insert(kFolderTool);
       s.processes.programs.insert(kFolderTool);
     },
     {kFolderTool},
     true,
     true},
    {"folder without the program", [](FakePlatform& s) { FolderValue(s, TextToUtf8(kFolder)); }, {}, false, true},
    {"folder holds the program only as a hidden file or a folder",
     [](FakePlatform& s) {
       FolderValue(s, TextToUtf8(kFolder));
       s.processes.programs.insert(kFolderTool);  // startable, but the file test does not find it
     },
     {},
     false,
     true},
    {"folder holds the program but it does not start",
     [](FakePlatform& s) {
       FolderValue(s, TextToUtf8(kFolder));
       s.files.normalFiles.insert(kFolderTool);
     },
     {kFolderTool},
     false,
     true},
    {"folder value of another type gives the root's program",
     [](FakePlatform& s) {
       s.registry.Set(kFolderKey, u"MSINFO", {kRegBinary, {1, 2}});
       s.files.normalFiles.insert(u"\\MSINFO32.EXE");
       s.processes.programs.insert(u"\\MSINFO32.EXE");
     },
     {u"\\MSINFO32.EXE"},
     true,
     true},
    {"neither value", [](FakePlatform&) {}, {}, false, true},
    {"a number of five bytes is no DWORD: the message, not a crash nor the folder",
     [](FakePlatform& s) {
       PathValue(s, {kRegDword, {1, 2, 3, 4, 5}});
       FolderValue(s, TextToUtf8(kFolder));
       s.files.normalFiles.insert(kFolderTool);
       s.processes.programs.insert(kFolderTool);
     },
     {},
     false,
     false},
    {"a number of one zero byte leaves no digits: the message",
     [](FakePlatform& s) {
       PathValue(s, {kRegDword, {0}});
       s.processes.programs.insert(u"0");
     },
     {},
     false,
     false},
    {"a number without bytes: the message",
     [](FakePlatform& s) {
       PathValue(s, {kRegDword, {}});
       s.processes.programs.insert(u"0");
     },
     {},
     false,
     false},
};

TEST_F(AboutBox, SysInfoButtonStartsTheToolOrShowsTheOneMessage) {
  for (const auto& row : kLaunchRows) {
    SCOPED_TRACE(row.name);
    FakePlatform fresh;
    row.setup(fresh);
    Program p(fresh);
    p.Start();
    fresh.toolkit.UserOf("Form1").Type(Text2, u"/info\r");
    fresh.toolkit.UserOf("frmAbout").Click(cmdSysInfo);

    EXPECT_EQ(fresh.processes.attempts, row.attempts);
    EXPECT_EQ(fresh.processes.started.size(), row.started ? 1u : 0u);
    if (row.started) {
      EXPECT_TRUE(fresh.messages.shown.empty());
    } else {
      ASSERT_EQ(fresh.messages.shown.size(), 1u);
      EXPECT_EQ(Show(fresh.messages.shown[0].first), "現時点ではｼｽﾃﾑ情報を使用できません");
      EXPECT_EQ(Show(fresh.messages.shown[0].second), "Tintvale");
    }
    ASSERT_FALSE(fresh.registry.opens.empty());
    EXPECT_EQ(fresh.registry.opens[0].first, kPathKey);
    EXPECT_EQ(fresh.registry.opens.size(), row.folderKeyAsked ? 2u : 1u);
    if (row.folderKeyAsked && fresh.registry.opens.size() == 2) {
      EXPECT_EQ(fresh.registry.opens[1].first, kFolderKey);
    }
    for (const auto& open : fresh.registry.opens) EXPECT_EQ(open.second, kKeyRead);
    EXPECT_EQ(fresh.registry.openKeys, 0);
    // The About box stays open and the main window is untouched.
    EXPECT_TRUE(fresh.toolkit.Window("frmAbout")->Alive());
    EXPECT_TRUE(fresh.toolkit.Window("Form1")->timerRunning[Timer1]);
  }
}

TEST_F(AboutBox, PressingTwiceStartsTwiceAndShowsTwice) {
  for (bool available : {true, false}) {
    SCOPED_TRACE(available ? "tool available" : "tool unavailable");
    FakePlatform fresh;
    if (available) {
      PathValue(fresh, {kRegSz, Sz(TextToUtf8(kTool))});
      fresh.processes.programs.insert(kTool);
    }
    Program p(fresh);
    p.Start();
    fresh.toolkit.UserOf("Form1").Type(Text2, u"/info\r");
    auto about = fresh.toolkit.UserOf("frmAbout");
    about.Click(cmdSysInfo);
    about.Click(cmdSysInfo);
    EXPECT_EQ(fresh.processes.started.size(), available ? 2u : 0u);
    EXPECT_EQ(fresh.messages.shown.size(), available ? 0u : 2u);
    EXPECT_EQ(fresh.registry.opens.size(), available ? 2u : 4u);  // looked up again each time
  }
}

TEST_F(AboutBox, AnErrorRaisedByThePlatformEndsInTheMessageAndClosesTheKey) {
  struct Row {
    const char* name;
    ThrowingPlatform::Where where;
    bool viaFolder;
  } rows[] = {{"opening a key", ThrowingPlatform::InOpen, false},
              {"reading a value", ThrowingPlatform::InQuery, false},
              {"converting the text", ThrowingPlatform::InDecode, false},
              {"testing for the file", ThrowingPlatform::InFileTest, true},
              {"starting the program", ThrowingPlatform::InStart, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ThrowingPlatform fresh(row.where);
    if (row.viaFolder) {
      FolderValue(fresh, TextToUtf8(kFolder));
    } else {
      PathValue(fresh, {kRegSz, Sz(TextToUtf8(kTool))});
    }
    fresh.files.normalFiles.insert(kFolderTool);
    fresh.processes.programs.insert(kTool);
    fresh.processes.programs.insert(kFolderTool);
    Program p(fresh);
    p.Start();
    fresh.toolkit.UserOf("Form1").Type(Text2, u"/info\r");
    EXPECT_NO_THROW(fresh.toolkit.UserOf("frmAbout").Click(cmdSysInfo));
    EXPECT_TRUE(fresh.processes.started.empty());
    ASSERT_EQ(fresh.messages.shown.size(), 1u);
    EXPECT_EQ(fresh.messages.shown[0].first, kSysInfoUnavailable);
    EXPECT_EQ(fresh.registry.openKeys, 0);
    EXPECT_TRUE(fresh.toolkit.Window("frmAbout")->Alive());
  }
}

}  // namespace
}  // namespace tintvale
