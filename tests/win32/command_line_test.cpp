// The Windows program's command-line texts, which need no Windows: what follows the program's name, and
// the command line that starts a program at a path with blanks.
#include "platform/win32/command_line.h"

#include <gtest/gtest.h>

namespace tintvale::win32 {
namespace {

TEST(CommandLineText, ArgumentsFollowTheProgramNameAsWindowsSplitsIt) {
  struct Row {
    const char16_t* commandLine;
    const char16_t* arguments;
  } rows[] = {
      {u"tintvale.exe -c -d", u"-c -d"},
      {u"\"C:\\Program Files\\Tint vale\\tintvale.exe\" -c", u"-c"},
      {u"\"C:\\Program Files\\Tint vale\\tintvale.exe\"-d", u"-d"},  // no blank needed after a quote
      {u"C:\\tools\\tintvale.exe", u""},
      {u"tintvale.exe   \t -D  x ", u"-D  x "},
      {u"\"unterminated name -c", u""},
      {u"", u""},
      {u"tintvale.exe \"a b\" 日本", u"\"a b\" 日本"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ArgumentsAfterProgramName(r.commandLine), Text(r.arguments))
        << ::testing::PrintToString(Text(r.commandLine));
  }
}

// The started program reads its own name back as the whole path: a blank in it must not begin arguments.
TEST(CommandLineText, AQuotedPathIsTheWholeProgramNameWithNothingAfterIt) {
  const char16_t* paths[] = {u"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe",
                             u"C:\\Tint Tools\\tool.exe", u"C:\\tools\\MSINFO32.EXE", u"C:\\日本語 フォルダ\\x.exe",
                             u"C:\\a\tb\\x.exe"};
  for (const char16_t* path : paths) {
    const Text line = QuotedCommandLine(path);
    EXPECT_EQ(line, u"\"" + Text(path) + u"\"");
    EXPECT_EQ(ArgumentsAfterProgramName(line + u" -c"), u"-c") << ::testing::PrintToString(line);
    EXPECT_EQ(ArgumentsAfterProgramName(line), u"") << ::testing::PrintToString(line);
  }
}

}  // namespace
}  // namespace tintvale::win32
