#include "platform/qt/system.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QProcess>

#include "platform/qt/conversions.h"

namespace tintvale::qt {
namespace {

QString LinuxPath(const Text& path) {
  QString q = ToQString(path);
  q.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return q;
}

}  // namespace

bool QtProcesses::Start(const Text& path) {
  const QString program = LinuxPath(path);
  if (program.isEmpty()) return false;
  // execve of exactly this file: no shell, no splitting at blanks, not waited for.
  return QProcess::startDetached(program, {});
}

bool QtFiles::NormalFileExists(const Text& path) {
  const QString p = LinuxPath(path);
  if (p.isEmpty()) return false;
  // A fresh QFileInfo each time: one that once saw the file keeps saying so after it is gone.
  const QFileInfo info(p);
  // Hidden on Linux: the file's own name starts with a dot (hidden parent folders do not count).
  return info.exists() && info.isFile() && !info.fileName().startsWith(QLatin1Char('.'));
}

void QtMessages::Show(const Text& message, const Text& title) {
  QMessageBox box;
  box.setIcon(QMessageBox::NoIcon);
  box.setWindowTitle(ToQString(title));
  box.setText(ToQString(message));
  box.setTextFormat(Qt::PlainText);
  box.setStandardButtons(QMessageBox::Ok);
  // Some styles put a theme icon on standard buttons; the box shows text only.
  if (QAbstractButton* ok = box.button(QMessageBox::Ok)) ok->setIcon(QIcon());
  box.exec();
}

}  // namespace tintvale::qt
