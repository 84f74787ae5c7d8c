// The Qt backend's system services: the file test and starting a program, on real files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "platform/qt/conversions.h"
#include "platform/qt/system.h"

namespace tintvale::qt {
namespace {

TEST(QtFiles, NormalFileTestTakesBackslashesAsSeparatorsAndSkipsHiddenAndFolders) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString root = dir.path();
  QDir(root).mkpath(QStringLiteral("tools/.hidden dir"));
  for (const char* name : {"tools/msinfo32.exe", "tools/.secret", "tools/.hidden dir/inner"}) {
    QFile f(root + QLatin1Char('/') + QLatin1String(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  struct Row {
    const char* path;  // under the temporary folder
    bool expected;
  };
  const Row rows[] = {
      // One row a line (clang-format would pack some of them two to a line).
      // clang-format off
      {"/tools/msinfo32.exe", true},
      {"\\tools\\msinfo32.exe", true},
      {"/tools/MSINFO32.EXE", false},  // names are case-sensitive on Linux
      {"/tools/.secret", false},
      {"/tools", false},
      {"\\tools\\", false},
      {"/tools/.hidden dir/inner", true},  // only the file's own name counts
      {"/tools/missing", false},
      // clang-format on
  };
  QtFiles files;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    QString path = root + QLatin1String(row.path);
    EXPECT_EQ(files.NormalFileExists(FromQString(path)), row.expected);
  }
  EXPECT_FALSE(files.NormalFileExists(Text()));
}

TEST(QtProcesses, StartsExactlyTheNamedFileWithoutAShell) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString folder = dir.path() + QStringLiteral("/p dir");
  QDir().mkpath(folder);
  // A name with a blank and shell syntax: a shell or a split at the blank would run something else.
  const QString script = folder + QStringLiteral("/sys info;echo x.sh");
  const QString marker = dir.path() + QStringLiteral("/marker");
  {
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\necho \"$#\" > '%1'\n").arg(marker).toUtf8());
  }
  QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QtProcesses processes;
  struct Row {
    const char* name;
    QString path;
    bool starts;
  };
  QString backslashed = script;
  backslashed.replace(QLatin1Char('/'), QLatin1Char('\\'));
  const Row rows[] = {
      {"exact path", script, true},
      {"backslashes as separators", backslashed, true},
      {"missing file", script + QStringLiteral(".gone"), false},
      {"empty path", QString(), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    QFile::remove(marker);
    const bool started = processes.Start(FromQString(row.path));
    EXPECT_EQ(started, row.starts);
    if (row.starts) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(marker).size() > 0; }, 5000));
      QFile f(marker);
      ASSERT_TRUE(f.open(QIODevice::ReadOnly));
      EXPECT_EQ(f.readAll(), QByteArray("0\n")) << "started with arguments";
    }
  }
}

}  // namespace
}  // namespace tintvale::qt
