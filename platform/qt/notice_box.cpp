#include "platform/qt/notice_box.h"

#include <QAbstractButton>
#include <QIcon>
#include <QMessageBox>

#include "platform/qt/conversions.h"
#include "resources/version.h"

namespace tintvale::qt {

NoticeBox::~NoticeBox() { delete box_.data(); }

void NoticeBox::Show(const Text& message) {
  delete box_.data();
  auto* box = new QMessageBox();
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setIcon(QMessageBox::NoIcon);
  box->setWindowTitle(ToQString(kAppTitle));
  box->setText(ToQString(message));
  box->setTextFormat(Qt::PlainText);
  box->setStandardButtons(QMessageBox::Ok);
  // Some styles put a theme icon on standard buttons; the box shows text only.
  if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->setIcon(QIcon());
  box->setModal(false);
  box->show();
  box_ = box;
}

}  // namespace tintvale::qt
