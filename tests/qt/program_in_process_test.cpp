// The real program in-process on the Qt backend: sampling and capture under the pointer, the About box's
// one instance and its keys, and the keyboard focus kept in the entry box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "main_window/program.h"
#include "tests/qt/qt_test_support.h"

namespace tintvale::qt {
namespace {

TEST_F(QtBackend, ProgramSamplesThePixelAndPositionUnderThePointerAndCapturesIt) {
  if (!OnX11()) GTEST_SKIP() << "reading the screen needs X11";
  test_support::X11Client x;
  ASSERT_TRUE(x.Ok());
  if (x.Screen()->root_depth != 24) GTEST_SKIP() << "the test paints a 24-bit screen";
  x.PaintRoot(0x0A00AB);

  // A frameless window of a second known colour, away from the program's window.
  QWidget patch;
  patch.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
  patch.setAutoFillBackground(true);
  QPalette pal = patch.palette();
  pal.setColor(QPalette::Window, QColor(0x12, 0xA5, 0xC3));
  patch.setPalette(pal);
  patch.setGeometry(700, 400, 120, 120);
  patch.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&patch));

  Program program(*g_platform);
  program.Start();
  Form1& form = program.MainWindow();
  QWidget* main = VisibleWindowTitled(QStringLiteral("Tintvale"));
  ASSERT_NE(main, nullptr);
  QLineEdit* text1 = BoxAt(main, 208);
  QLineEdit* text2 = BoxAt(main, 64);
  ASSERT_TRUE(text1 && text2);

  struct Row {
    const char* where;
    int x;
    int y;
    ColorValue color;
    const char* hex;
    const char* decimal;
  };
  const Row rows[] = {
      {"root", 10, 12, 0x00AB000A, "#0A00AB", "10,0,171"},
      {"window", 760, 455, 0x00C3A512, "#12A5C3", "18,165,195"},
      {"root's far corner", 1279, 799, 0x00AB000A, "#0A00AB", "10,0,171"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.where);
    x.MovePointer(row.x, row.y);
    // Shown with the tab as an en space (TabsOfASetTextShowNarrowAndReadBackAsTabs); the program reads the tab.
    const QString coordinates = QStringLiteral("%1%2%3").arg(row.x).arg(QChar(0x2002)).arg(row.y);
    EXPECT_TRUE(QTest::qWaitFor([&] { return text1->text() == coordinates; }, 5000)) << text1->text().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.Pos_Color_RGB == row.color; }, 5000)) << form.Pos_Color_RGB;

    for (std::int16_t decimal : {std::int16_t{0}, std::int16_t{-1}}) {
      form.DecC = decimal;
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
      QApplication::sendEvent(text2, &enter);
      EXPECT_EQ(text2->text(), QString::fromLatin1(decimal ? row.decimal : row.hex));
    }
    form.DecC = 0;
  }
  form.Unload();
  EXPECT_EQ(VisibleWindowTitled(QStringLiteral("Tintvale")), nullptr);
}

TEST_F(QtBackend, InfoOpensOneAboutBoxAndClosingTheMainWindowClosesIt) {
  Program program(*g_platform);
  program.Start();
  QWidget* main = VisibleWindowTitled(QStringLiteral("Tintvale"));
  ASSERT_NE(main, nullptr);
  QLineEdit* text2 = BoxAt(main, 64);
  ASSERT_NE(text2, nullptr);
  const QString aboutTitle = QString::fromUtf8("Tintvaleのﾊﾞｰｼﾞｮﾝ情報");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    text2->setText(QStringLiteral("/info"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(text2, &enter);
    EXPECT_TRUE(QTest::qWaitFor([&] { return VisibleWindowTitled(aboutTitle) != nullptr; }, 5000));
  }
  int aboutBoxes = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) aboutBoxes += w->isVisible() && w->windowTitle() == aboutTitle;
  EXPECT_EQ(aboutBoxes, 1);
  // Esc in the About box presses its cancel button.
  QWidget* about = VisibleWindowTitled(aboutTitle);
  QTest::keyClick(about, Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return VisibleWindowTitled(aboutTitle) == nullptr; }, 5000));
  // Opened again, then the main window closes with it.
  QKeyEvent again(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(text2, &again);
  ASSERT_TRUE(QTest::qWaitFor([&] { return VisibleWindowTitled(aboutTitle) != nullptr; }, 5000));
  program.MainWindow().Unload();
  EXPECT_EQ(VisibleWindowTitled(aboutTitle), nullptr);
  EXPECT_EQ(program.App().LoadedWindows(), 0);
}

TEST_F(QtBackend, FocusAlwaysReturnsToTheEntryBox) {
  Program program(*g_platform);
  program.Start();
  QWidget* main = VisibleWindowTitled(QStringLiteral("Tintvale"));
  ASSERT_NE(main, nullptr);
  QLineEdit* text1 = BoxAt(main, 208);
  QLineEdit* text2 = BoxAt(main, 64);
  ASSERT_TRUE(text1 && text2);
  main->activateWindow();
  if (!QTest::qWaitForWindowActive(main)) GTEST_SKIP() << "the window manager did not activate the window";
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == text2; }, 5000)) << "not in Text2 at start";

  QWidget* picture = nullptr;
  for (QWidget* w : main->findChildren<QWidget*>()) {
    if (w->x() == 8 && w->y() == 8) picture = w;  // the swatch
  }
  auto* check = main->findChild<QCheckBox*>();
  ASSERT_TRUE(picture && check);
  struct Row {
    const char* action;
    std::function<void()> act;
  };
  const Row rows[] = {
      {"Tab", [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); }},
      {"Shift+Tab", [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier); }},
      {"click on the swatch", [&] { QTest::mouseClick(picture, Qt::LeftButton); }},
      {"click on the coordinate box", [&] { QTest::mouseClick(text1, Qt::LeftButton); }},
      {"click on the check box", [&] { QTest::mouseClick(check, Qt::LeftButton); }},
      {"click on the check box again", [&] { QTest::mouseClick(check, Qt::LeftButton); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.action);
    row.act();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == text2; }, 5000))
        << "focus is on "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing");
  }
  EXPECT_EQ(check->checkState(), Qt::Unchecked);
  program.MainWindow().Unload();
}

TEST_F(QtBackend, EnterPressesTheDefaultButtonUnlessAnotherButtonHasTheFocus) {
  Program program(*g_platform);
  program.Start();
  program.AboutBox().Show();
  const QString aboutTitle = QString::fromUtf8("Tintvaleのﾊﾞｰｼﾞｮﾝ情報");
  QWidget* about = VisibleWindowTitled(aboutTitle);
  ASSERT_NE(about, nullptr);
  // The box opens with the focus on OK, the lowest tab index.
  about->activateWindow();
  if (QTest::qWaitForWindowActive(about)) {
    auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
    EXPECT_TRUE(focused && focused->text() == QStringLiteral("OK"));
  }
  // From the contact line, Enter reaches the window and presses OK, which unloads the box.
  QLineEdit* contact = about->findChild<QLineEdit*>();
  ASSERT_NE(contact, nullptr);
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(contact, &enter);
  EXPECT_EQ(VisibleWindowTitled(aboutTitle), nullptr);
  EXPECT_FALSE(program.AboutBox().Loaded());
  program.MainWindow().Unload();
}

}  // namespace
}  // namespace tintvale::qt
