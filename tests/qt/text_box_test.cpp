// The text box in-process: key codes raised before the box handles them, arrow keys with their mask, input
// methods, long texts, tabs shown narrow and given back on copies, and edits that leave the text as it was.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "tests/qt/qt_test_support.h"

namespace tintvale::qt {
namespace {

struct KeyRow {
  const char* name;
  int key;
  Qt::KeyboardModifiers modifiers;
  QString text;
  int handlerSets;  // -1: the handler leaves the code alone
  std::vector<int> codes;
  QString textAfter;
};

TEST_F(QtBackend, KeyPressCodesAndWhatTheBoxDoesWithThem) {
  const KeyRow rows[] = {
      {"Return", Qt::Key_Return, Qt::NoModifier, "\r", -1, {13}, ""},
      {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, "\r", -1, {13}, ""},
      {"Ctrl+M as X11 delivers it", Qt::Key_M, Qt::ControlModifier, "\r", -1, {13}, ""},
      {"letter", Qt::Key_A, Qt::NoModifier, "a", -1, {97}, "a"},
      {"Japanese character",
       Qt::Key_unknown,
       Qt::NoModifier,
       QString::fromUtf8("あ"),
       -1,
       {0x3042},
       QString::fromUtf8("あ")},
      {"arrow key has no character", Qt::Key_Left, Qt::NoModifier, "", -1, {}, ""},
      {"F5 has no character", Qt::Key_F5, Qt::NoModifier, "", -1, {}, ""},
      {"Alt+letter is an access key", Qt::Key_A, Qt::AltModifier, "a", -1, {}, ""},
      {"handler swallows", Qt::Key_A, Qt::NoModifier, "a", 0, {97}, ""},
      {"handler replaces", Qt::Key_A, Qt::NoModifier, "a", 'Z', {97}, "Z"},
      {"handler turns a letter into Enter", Qt::Key_A, Qt::NoModifier, "a", 13, {97}, ""},
      {"handler turns Enter into a letter", Qt::Key_Return, Qt::NoModifier, "\r", 'q', {13}, "q"},
  };
  for (const KeyRow& row : rows) {
    SCOPED_TRACE(row.name);
    Recorder rec;
    auto window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
    auto* box = qobject_cast<QLineEdit*>(ControlObject(*window, kBox));
    ASSERT_NE(box, nullptr);
    QString textSeenByHandler = QStringLiteral("<not called>");
    rec.onKey = [&](int control, std::int16_t& code) {
      EXPECT_EQ(control, kBox);
      textSeenByHandler = box->text();
      if (row.handlerSets >= 0) code = static_cast<std::int16_t>(row.handlerSets);
    };
    QKeyEvent press(QEvent::KeyPress, row.key, row.modifiers, row.text);
    QApplication::sendEvent(box, &press);
    EXPECT_EQ(rec.keyCodes, row.codes);
    EXPECT_EQ(box->text(), row.textAfter);
    // The handler runs before the box takes the key.
    if (!row.codes.empty()) {
      EXPECT_EQ(textSeenByHandler, QString());
    }
  }
}

TEST_F(QtBackend, ArrowKeysRaiseKeyDownWithTheirMaskAndASwallowedOneLeavesTheCaret) {
  struct Row {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    std::vector<std::pair<int, int>> raised;
    bool swallow;
    int caretAfter;  // from 2 in "abcd"
  };
  const Row rows[] = {
      {"Left, box's own", Qt::Key_Left, Qt::NoModifier, {{37, 0}}, false, 1},
      {"Alt+Right swallowed", Qt::Key_Right, Qt::AltModifier, {{39, 4}}, true, 2},
      {"Alt+Shift+Up", Qt::Key_Up, Qt::AltModifier | Qt::ShiftModifier, {{38, 5}}, true, 2},
      {"Ctrl+Right on the keypad", Qt::Key_Right, Qt::ControlModifier | Qt::KeypadModifier, {{39, 2}}, false, 4},
      {"Home is no arrow", Qt::Key_Home, Qt::AltModifier, {}, true, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Recorder rec;
    rec.swallowKeyDown = row.swallow;
    auto window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
    auto* box = qobject_cast<QLineEdit*>(ControlObject(*window, kBox));
    box->setText(QStringLiteral("abcd"));
    box->setCursorPosition(2);
    QKeyEvent press(QEvent::KeyPress, row.key, row.modifiers);
    QApplication::sendEvent(box, &press);
    EXPECT_EQ(rec.keyDowns, row.raised);
    EXPECT_TRUE(rec.keyCodes.empty());  // no KeyPress for them
    if (row.key != Qt::Key_Home) {
      EXPECT_EQ(box->cursorPosition(), row.caretAfter);
    }
  }
}

TEST_F(QtBackend, TextFromAnInputMethodRaisesKeyPressForEachCharacter) {
  struct Row {
    const char* name;
    int handlerSets;  // -1: leave the codes alone
    QString textAfter;
  };
  const Row rows[] = {
      {"taken as committed", -1, QString::fromUtf8("＃色")},
      {"swallowed", 0, QString()},
      {"replaced", 'x', QStringLiteral("xx")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Recorder rec;
    auto window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
    auto* box = qobject_cast<QLineEdit*>(ControlObject(*window, kBox));
    rec.onKey = [&](int, std::int16_t& code) {
      if (row.handlerSets >= 0) code = static_cast<std::int16_t>(row.handlerSets);
    };
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("＃色"));
    QApplication::sendEvent(box, &commit);
    // 16-bit signed codes, as the handler gets them.
    EXPECT_EQ(rec.keyCodes, (std::vector<int>{static_cast<std::int16_t>(0xFF03), static_cast<std::int16_t>(0x8272)}));
    EXPECT_EQ(box->text(), row.textAfter);
  }
}

TEST_F(QtBackend, TextBoxTakesAHundredThousandCharacters) {
  Recorder rec;
  auto window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
  const Text longText(100000, u'x');
  window->SetText(kBox, longText);
  EXPECT_EQ(window->GetText(kBox).size(), longText.size());
}

TEST_F(QtBackend, TabsOfASetTextShowNarrowAndReadBackAsTabs) {
  Recorder rec;
  auto window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
  auto* box = qobject_cast<QLineEdit*>(ControlObject(*window, kBox));
  window->SetText(kBox, u"580\t230");
  EXPECT_EQ(window->GetText(kBox), u"580\t230");
  EXPECT_EQ(box->text(), QString::fromUtf8("580\u2002230"));
  EXPECT_EQ(box->cursorPosition(), 0) << "a set text shows from its start";
  // Set again after the user changed it: the set text comes back.
  box->setText(QStringLiteral("typed"));
  EXPECT_EQ(window->GetText(kBox), u"typed");
  window->SetText(kBox, u"580\t230");
  EXPECT_EQ(box->text(), QString::fromUtf8("580\u2002230"));
  EXPECT_EQ(window->GetText(kBox), u"580\t230");
}

TEST_F(QtBackend, CopiesFromABoxWithASetTabGiveTheTab) {
  Recorder rec;
  auto window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
  auto* box = qobject_cast<QLineEdit*>(ControlObject(*window, kBox));
  QClipboard* clipboard = QGuiApplication::clipboard();
  auto menuCopy = [box] {
    std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
    const QList<QAction*> actions = menu->actions();
    auto copy = std::find_if(actions.begin(), actions.end(),
                             [](QAction* a) { return a->text().startsWith(QStringLiteral("&Copy")); });
    ASSERT_NE(copy, actions.end());
    (*copy)->trigger();
  };
  struct Row {
    const char* how;
    int start, length;
    std::function<void()> copy;
    QClipboard::Mode mode;
    QString copied;
    Text left;
  } rows[] = {
      {"Ctrl+C of everything", 0, 7, [box] { QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier); },
       QClipboard::Clipboard, QStringLiteral("409\t200"), u"409\t200"},
      {"the context menu's Copy of the middle", 2, 3, menuCopy, QClipboard::Clipboard, QStringLiteral("9\t2"),
       u"409\t200"},
      {"Ctrl+X of the end", 3, 4, [box] { QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier); },
       QClipboard::Clipboard, QStringLiteral("\t200"), u"409"},
      {"a mouse selection", 0, 4, [box] { QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(5, 5)); },
       QClipboard::Selection, QStringLiteral("409\t"), u"409\t200"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.how);
    if (row.mode == QClipboard::Selection && !clipboard->supportsSelection()) continue;
    window->SetText(kBox, u"409\t200");
    clipboard->setText(QStringLiteral("stale"), row.mode);
    box->setSelection(row.start, row.length);
    row.copy();
    EXPECT_EQ(clipboard->text(row.mode), row.copied);
    EXPECT_EQ(window->GetText(kBox), row.left);
  }
  // Text the user typed is copied as it stands.
  window->SetText(kBox, u"");
  box->insert(
      QString::fromUtf8("1\u2002"
                        "2"));
  box->selectAll();
  box->copy();
  EXPECT_EQ(clipboard->text(), QString::fromUtf8("1\u2002"
                                                 "2"));
}

TEST_F(QtBackend, AnEditThatLeavesTheSameTextIsStillANotice) {
  Recorder rec;
  auto window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
  auto* box = qobject_cast<QLineEdit*>(ControlObject(*window, kBox));
  window->SetText(kBox, u"#0A00AB");
  rec.changes = 0;
  box->setSelection(6, 1);
  QTest::keyClicks(box, QStringLiteral("B"));
  EXPECT_EQ(rec.changes, 1) << "a character typed over the same one";
  QGuiApplication::clipboard()->setText(QStringLiteral("#0A00AB"));
  box->selectAll();
  QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(rec.changes, 2) << "the same text pasted over itself";
  EXPECT_EQ(window->GetText(kBox), u"#0A00AB");
}

}  // namespace
}  // namespace tintvale::qt
