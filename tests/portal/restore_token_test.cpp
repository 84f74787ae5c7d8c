// The restore token file: its path, written privately and whole, and what reads as no token.
#include "platform/portal/restore_token.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace tintvale::portal {
namespace {

class TokenFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/tintvale-token.XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  void Put(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
  std::string dir_;
};

// An environment variable as it was before the test, put back (or unset again) when the test ends.
class KeptVariable {
 public:
  explicit KeptVariable(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) old_ = value;
  }
  ~KeptVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  KeptVariable(const KeptVariable&) = delete;
  KeptVariable& operator=(const KeptVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(TokenFile, PathFollowsTheStateFolder) {
  const KeptVariable state("XDG_STATE_HOME");
  const KeptVariable home("HOME");
  setenv("XDG_STATE_HOME", "/s", 1);
  EXPECT_EQ(RestoreTokenPath(), "/s/tintvale/restore-token");
  setenv("XDG_STATE_HOME", "relative/s", 1);
  setenv("HOME", "/h", 1);
  EXPECT_EQ(RestoreTokenPath(), "/h/.local/state/tintvale/restore-token") << "a relative folder is ignored";
  unsetenv("XDG_STATE_HOME");
  EXPECT_EQ(RestoreTokenPath(), "/h/.local/state/tintvale/restore-token");
}

TEST_F(TokenFile, WrittenPrivatelyInAFolderMadeForIt) {
  const std::string path = dir_ + "/state/tintvale/restore-token";
  const std::string token = "0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8b";
  ASSERT_TRUE(WriteRestoreToken(path, token));
  EXPECT_EQ(ReadRestoreToken(path), token);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((dir_ + "/state/tintvale").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Replaced whole, and no temporary file is left beside it.
  const std::string next = "11111111-2222-3333-4444-555555555555";
  ASSERT_TRUE(WriteRestoreToken(path, next));
  EXPECT_EQ(ReadRestoreToken(path), next);
  EXPECT_EQ(std::system(("test $(ls -A '" + dir_ + "/state/tintvale' | wc -l) -eq 1").c_str()), 0);
  // An empty token removes the file; removing a missing one is no failure.
  ASSERT_TRUE(WriteRestoreToken(path, ""));
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  EXPECT_TRUE(WriteRestoreToken(path, ""));
}

TEST_F(TokenFile, CorruptOrMissingFilesGiveNoToken) {
  const std::string path = dir_ + "/restore-token";
  struct Row {
    std::string text;
    bool valid;
    const char* what;
  } rows[] = {
      {"0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8b\n", true, "a token and a line end"},
      {"0B6E8A5C-2F4D-4C1E-9A3B-7D2E1F0A9C8B", true, "upper case, no line end"},
      {"", false, "empty"},
      {"0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8", false, "one character short"},
      {"0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8bb", false, "one character long"},
      {"0b6e8a5c_2f4d-4c1e-9a3b-7d2e1f0a9c8b", false, "a dash missing"},
      {"0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8g", false, "not hexadecimal"},
      {std::string("0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8b\0garbage", 44), false, "trailing bytes"},
      {std::string(5000, 'a'), false, "a large file"},
  };
  for (const Row& r : rows) {
    Put(path, r.text);
    EXPECT_EQ(ReadRestoreToken(path).empty(), !r.valid) << r.what;
  }
  EXPECT_EQ(ReadRestoreToken(dir_ + "/missing"), "");
  EXPECT_EQ(ReadRestoreToken(dir_), "") << "a folder";
  EXPECT_FALSE(WriteRestoreToken(dir_ + "/restore-token/below", "0b6e8a5c-2f4d-4c1e-9a3b-7d2e1f0a9c8b"))
      << "a file where the folder should be";
}

}  // namespace
}  // namespace tintvale::portal
