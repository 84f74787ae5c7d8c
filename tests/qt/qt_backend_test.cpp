// The Qt backend in-process: key codes, windows destroyed inside their own handlers, the event loop's
// start and end, the glyphs the Japanese captions are drawn with, and the pixel decoding. Tests that need
// a window skip without a display; those that read the screen need X11.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontInfo>
#include <QGlyphRun>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QClipboard>
#include <QMenu>
#include <QAction>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRawFont>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QTimer>
#include <QTextLayout>
#include <QWindow>
#include <QScreen>
#include <cstdlib>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "about_box/frm_about.h"
#include "main_window/form1.h"
#include "main_window/program.h"
#include "platform/qt/qt_forms.h"
#include "platform/qt/qt_system.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/x11_screen.h"

namespace tintvale::qt {
namespace {

Platform* g_platform = nullptr;

// Records what a window reports and lets a test act inside a handler.
class Recorder : public WindowEvents {
 public:
  std::function<void(int, std::int16_t&)> onKey;
  std::function<void(int)> onTick;
  std::function<void()> onClose;
  std::vector<int> keyCodes;
  int ticks = 0;
  int closes = 0;
  int changes = 0;

  void KeyPress(int control, std::int16_t& keyAscii) override {
    keyCodes.push_back(keyAscii);
    if (onKey) onKey(control, keyAscii);
  }
  void KeyDown(int, std::int16_t& keyCode, std::int16_t shift) override {
    keyDowns.emplace_back(keyCode, shift);
    if (swallowKeyDown) keyCode = 0;
  }
  void TextChanged(int) override { ++changes; }
  std::vector<std::pair<int, int>> keyDowns;  // code and shift mask
  bool swallowKeyDown = false;
  void Click(int) override {}
  void GotFocus(int) override {}
  void TimerTick(int control) override {
    ++ticks;
    if (onTick) onTick(control);
  }
  void CloseRequested() override {
    ++closes;
    if (onClose) onClose();
  }
};

constexpr int kBox = 0;
constexpr int kTimer = 1;

WindowLayout SmallLayout() {
  WindowLayout w;
  w.name = "Small";
  w.caption = u"Small";
  w.clientWidth = 3000;
  w.clientHeight = 900;
  w.controls.resize(2);
  w.controls[kBox] = {.kind = ControlKind::TextBox, .name = "Box", .left = 120, .top = 120, .width = 2000,
                      .height = 300, .tabIndex = 0};
  w.controls[kTimer] = {.kind = ControlKind::Timer, .name = "Tick"};
  w.controls[kTimer].intervalMs = 10;
  w.controls[kTimer].enabled = false;
  return w;
}

// The small window with a swatch of the given size beside its box.
constexpr int kSwatch = 2;
WindowLayout SwatchLayout(int sizeTwips) {
  WindowLayout w = SmallLayout();
  w.controls.push_back({.kind = ControlKind::PictureBox, .name = "Swatch", .left = 2200, .top = 120,
                        .width = sizeTwips, .height = sizeTwips, .tabIndex = 1});
  return w;
}

ColorValue ToColorValue(const QColor& c) { return static_cast<ColorValue>(c.red() | c.green() << 8 | c.blue() << 16); }

class QtBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!g_platform) GTEST_SKIP() << "no display: the Qt backend could not start";
  }
  QtToolkit& Kit() { return static_cast<QtToolkit&>(g_platform->Forms()); }
  static bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }
};

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
      {"Japanese character", Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("あ"), -1, {0x3042},
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
  box->insert(QString::fromUtf8("1\u2002" "2"));
  box->selectAll();
  box->copy();
  EXPECT_EQ(clipboard->text(), QString::fromUtf8("1\u2002" "2"));
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

TEST_F(QtBackend, WindowDestroyedInsideItsOwnTicksPumpIsSilencedAndDeletedLater) {
  Recorder rec;
  std::unique_ptr<NativeWindow> window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
  QPointer<QWidget> widget = WindowWidget(*window);
  window->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(widget.data()));
  QPointer<QWindow> handle = widget->windowHandle();

  bool destroyed = false;
  int ticksAfterDestroy = 0;
  bool widgetAliveRightAfterPump = false;
  rec.onClose = [&] {
    window.reset();  // what the runtime does when the window unloads
    destroyed = true;
  };
  rec.onTick = [&](int) {
    if (destroyed) {
      ++ticksAfterDestroy;
      return;
    }
    // A close request waiting in the queue, as from the close box, handled by the tick's own pump.
    QCoreApplication::postEvent(handle.data(), new QCloseEvent);
    g_platform->Forms().PumpEvents();
    widgetAliveRightAfterPump = !widget.isNull();
  };
  window->SetTimer(kTimer, true, 10);
  ASSERT_TRUE(QTest::qWaitFor([&] { return destroyed; }, 5000));
  EXPECT_TRUE(widgetAliveRightAfterPump) << "deleted while its handler was still on the stack";
  EXPECT_TRUE(QTest::qWaitFor([&] { return widget.isNull(); }, 5000)) << "never deleted after the handler returned";
  EXPECT_EQ(ticksAfterDestroy, 0);
  EXPECT_EQ(rec.closes, 1);
}

TEST_F(QtBackend, QuitBeforeTheLoopStartsMakesRunReturnAtOnce) {
  g_platform->Forms().Quit();
  EXPECT_EQ(g_platform->Forms().Run(), 0);
}

// Every run of a Japanese caption must be drawn by a Japanese face, with real glyphs (not .notdef),
// whatever LANG is; ctest runs this under a Chinese locale as well.
TEST_F(QtBackend, JapaneseCaptionsAreDrawnWithJapaneseGlyphs) {
  struct Source {
    const char* window;
    WindowLayout layout;
  };
  const Source sources[] = {{"Form1", Form1Layout()}, {"frmAbout", FrmAboutLayout()}};
  int checked = 0;
  for (const Source& source : sources) {
    Recorder rec;
    auto window = Kit().BuildWindow(source.layout, rec, nullptr);
    for (std::size_t i = 0; i < source.layout.controls.size(); ++i) {
      const ControlLayout& c = source.layout.controls[i];
      auto* widget = qobject_cast<QWidget*>(ControlObject(*window, static_cast<int>(i)));
      QString caption = ToQString(c.caption).remove(QLatin1Char('&'));
      if (!widget || caption.isEmpty()) continue;
      bool japanese = false;
      for (QChar ch : caption) japanese = japanese || ch.unicode() >= 0x3000;
      if (!japanese) continue;
      SCOPED_TRACE(std::string(source.window) + "." + c.name);
      // One character at a time, so each run is known to hold that character.
      for (QChar ch : caption) {
        if (ch.unicode() < 0x3000) continue;
        QTextLayout layout(QString(ch), widget->font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun& run : layout.glyphRuns()) {
          const QString family = run.rawFont().familyName();
          const std::string where = QString(ch).toStdString() + " drawn by " + family.toStdString();
          for (quint32 glyph : run.glyphIndexes()) EXPECT_NE(glyph, 0u) << "missing glyph: " << where;
          EXPECT_TRUE(family.contains(QLatin1String("JP")) || family.contains(QLatin1String("Gothic"))) << where;
        }
      }
      ++checked;
    }
  }
  EXPECT_GE(checked, 5);  // Check1, Label1, lblDescription, lblVersion, cmdSysInfo at least
}

// ---- The program on the real screen (X11 only) ----

class X11Client {
 public:
  X11Client() : c_(xcb_connect(nullptr, nullptr)) {}
  ~X11Client() { xcb_disconnect(c_); }
  bool Ok() const { return xcb_connection_has_error(c_) == 0; }
  xcb_screen_t* Screen() { return xcb_setup_roots_iterator(xcb_get_setup(c_)).data; }
  // Root background of a 24-bit true-colour screen, painted at once.
  void PaintRoot(std::uint32_t rgb) {
    xcb_change_window_attributes(c_, Screen()->root, XCB_CW_BACK_PIXEL, &rgb);
    xcb_clear_area(c_, 0, Screen()->root, 0, 0, 0, 0);
    Sync();
  }
  // Root background of a 24-bit screen: colour(x, y) inside the square at (x0, y0) of side size, base
  // outside it.
  void PaintRootPattern(std::uint32_t base, int x0, int y0, int size, std::uint32_t (*colour)(int, int)) {
    xcb_screen_t* s = Screen();
    const xcb_pixmap_t pixmap = xcb_generate_id(c_);
    xcb_create_pixmap(c_, s->root_depth, pixmap, s->root, s->width_in_pixels, s->height_in_pixels);
    const xcb_gcontext_t gc = xcb_generate_id(c_);
    xcb_create_gc(c_, gc, pixmap, XCB_GC_FOREGROUND, &base);
    const xcb_rectangle_t all{0, 0, s->width_in_pixels, s->height_in_pixels};
    xcb_poly_fill_rectangle(c_, pixmap, gc, 1, &all);
    std::vector<std::uint32_t> row(static_cast<std::size_t>(size));
    for (int y = y0; y < y0 + size; ++y) {
      for (int x = x0; x < x0 + size; ++x) row[static_cast<std::size_t>(x - x0)] = colour(x, y);
      xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<std::uint16_t>(size), 1,
                    static_cast<std::int16_t>(x0), static_cast<std::int16_t>(y), 0, s->root_depth,
                    static_cast<std::uint32_t>(row.size() * 4), reinterpret_cast<const std::uint8_t*>(row.data()));
    }
    xcb_change_window_attributes(c_, s->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(c_, 0, s->root, 0, 0, 0, 0);
    xcb_free_gc(c_, gc);
    xcb_free_pixmap(c_, pixmap);
    Sync();
  }
  void MovePointer(int x, int y) {
    xcb_warp_pointer(c_, XCB_NONE, Screen()->root, 0, 0, 0, 0, static_cast<std::int16_t>(x),
                     static_cast<std::int16_t>(y));
    Sync();
  }

 private:
  void Sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
  xcb_connection_t* c_;
};

// The text box whose left edge is at x in the window.
QLineEdit* BoxAt(QWidget* window, int x) {
  for (QLineEdit* e : window->findChildren<QLineEdit*>()) {
    if (e->x() == x) return e;
  }
  return nullptr;
}

QWidget* VisibleWindowTitled(const QString& title) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowTitle() == title) return w;
  }
  return nullptr;
}

TEST_F(QtBackend, ProgramSamplesThePixelAndPositionUnderThePointerAndCapturesIt) {
  if (!OnX11()) GTEST_SKIP() << "reading the screen needs X11";
  X11Client x;
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
        << "focus is on " << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing");
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
      {"/tools/msinfo32.exe", true},
      {"\\tools\\msinfo32.exe", true},
      {"/tools/MSINFO32.EXE", false},  // names are case-sensitive on Linux
      {"/tools/.secret", false},
      {"/tools", false},
      {"\\tools\\", false},
      {"/tools/.hidden dir/inner", true},  // only the file's own name counts
      {"/tools/missing", false},
  };
  QtFiles files;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    QString path = root + QLatin1String(row.path);
    EXPECT_EQ(files.NormalFileExists(FromQString(path)),
              row.expected);
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

// ---- Drawing: what the ticking controls leave on the screen ----

// The text box style draws a panel from a kept picture: for each state, palette and size it must give
// the pixels the application style draws itself, the second time (from the picture) as the first.
TEST_F(QtBackend, TextBoxPanelIsDrawnAsTheApplicationStyleDrawsIt) {
  Recorder rec;
  auto window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
  auto* box = qobject_cast<QLineEdit*>(ControlObject(*window, kBox));
  ASSERT_NE(box, nullptr);
  QStyle* boxStyle = box->style();
  QStyle* appStyle = QApplication::style();
  ASSERT_NE(boxStyle, appStyle) << "the text box draws its panel with the application style itself";

  QPalette yellow = box->palette();
  yellow.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xC0));
  QPalette inactive = box->palette();
  inactive.setCurrentColorGroup(QPalette::Inactive);
  struct Row {
    const char* name;
    QStyle::State state;
    QPalette palette;
    QSize size;
  };
  const QStyle::State plain = QStyle::State_Enabled | QStyle::State_Sunken | QStyle::State_Active;
  const Row rows[] = {
      {"plain", plain, box->palette(), QSize(57, 18)},
      {"focused", plain | QStyle::State_HasFocus, box->palette(), QSize(57, 18)},
      {"disabled", QStyle::State_Sunken, box->palette(), QSize(57, 18)},
      {"read-only", plain | QStyle::State_ReadOnly, box->palette(), QSize(57, 18)},
      {"other base colour", plain, yellow, QSize(57, 18)},
      {"inactive window", plain & ~QStyle::State_Active, inactive, QSize(57, 18)},
      {"wider", plain, box->palette(), QSize(209, 18)},
      {"taller and focused", plain | QStyle::State_HasFocus, box->palette(), QSize(57, 30)},
  };
  auto draw = [&](QStyle* style, const Row& row, QPoint at) {
    QImage image(row.size + QSize(8, 8), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xF0, 0xF0, 0xF0));  // the form's face under the rounded corners
    QPainter p(&image);
    QStyleOptionFrame option;
    option.initFrom(box);
    option.state = row.state;
    option.palette = row.palette;
    option.rect = QRect(at, row.size);
    option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
    option.frameShape = QFrame::StyledPanel;
    style->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &p, box);
    return image;
  };
  for (int pass = 0; pass < 2; ++pass) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + (pass == 0 ? " (first drawing)" : " (from the picture)"));
      for (QPoint at : {QPoint(0, 0), QPoint(3, 5)}) {
        const QImage expected = draw(appStyle, row, at);
        const QImage drawn = draw(boxStyle, row, at);
        int differing = 0;
        for (int y = 0; y < expected.height(); ++y) {
          for (int x = 0; x < expected.width(); ++x) {
            const QRgb a = expected.pixel(x, y), b = drawn.pixel(x, y);
            // Composed from a picture, an antialiased edge may round one level apart.
            if (std::abs(qRed(a) - qRed(b)) > 1 || std::abs(qGreen(a) - qGreen(b)) > 1 ||
                std::abs(qBlue(a) - qBlue(b)) > 1) {
              ++differing;
            }
          }
        }
        EXPECT_EQ(differing, 0) << "at " << at.x() << "," << at.y();
      }
    }
  }
}

// A new swatch colour repaints the inside only: the border on the screen stays as the full drawing
// left it, and the inside takes the colour.
TEST_F(QtBackend, SwatchColourChangesKeepItsBorder) {
  if (!OnX11()) GTEST_SKIP() << "reads the window back from the X server";
  Recorder rec;
  auto window = Kit().BuildWindow(SwatchLayout(735), rec, nullptr);
  window->Show();
  QWidget* form = WindowWidget(*window);
  auto* swatch = qobject_cast<QWidget*>(ControlObject(*window, kSwatch));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
  // Read back from the window itself, on Qt's own connection, so after the repaint it sent.
  auto onScreen = [&] {
    QCoreApplication::processEvents();  // the repaint the change asked for
    const QRect r = swatch->geometry();
    return form->screen()->grabWindow(form->winId(), r.x(), r.y(), r.width(), r.height()).toImage().convertToFormat(
        QImage::Format_RGB32);
  };
  window->SetBackColor(kSwatch, 0x00FFFFFF);
  const QImage first = onScreen();
  const QColor colours[] = {QColor(0x0A, 0x00, 0xAB), QColor(0x12, 0xA5, 0xC3), QColor(0, 0, 0)};
  for (const QColor& c : colours) {
    SCOPED_TRACE(c.name().toStdString());
    window->SetBackColor(kSwatch, ToColorValue(c));
    const QImage now = onScreen();
    const QRect inside = swatch->rect().adjusted(2, 2, -2, -2);
    int borderChanged = 0, insideWrong = 0;
    for (int y = 0; y < now.height(); ++y) {
      for (int x = 0; x < now.width(); ++x) {
        if (inside.contains(x, y)) {
          insideWrong += now.pixel(x, y) != c.rgb();
        } else {
          borderChanged += now.pixel(x, y) != first.pixel(x, y);
        }
      }
    }
    EXPECT_EQ(borderChanged, 0);
    EXPECT_EQ(insideWrong, 0);
  }
  // And the border is the sunken panel, not whatever the first drawing happened to leave.
  EXPECT_NE(first.pixel(0, 0), first.pixel(swatch->width() - 1, swatch->height() - 1));
}

// What a timer tick changes is painted when the tick ends, not at the event loop's next turn: read back
// from the X server by a second receiver of the same timeout, the box and swatch already show it.
TEST_F(QtBackend, ChangesOfATickAreOnTheScreenWhenItEnds) {
  if (!OnX11()) GTEST_SKIP() << "reads the window back from the X server";
  Recorder rec;
  std::unique_ptr<NativeWindow> window = Kit().BuildWindow(SwatchLayout(600), rec, nullptr);
  window->Show();
  QWidget* form = WindowWidget(*window);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
  form->setFocus();
  auto* box = qobject_cast<QLineEdit*>(ControlObject(*window, kBox));
  auto* swatch = qobject_cast<QWidget*>(ControlObject(*window, kSwatch));
  auto* timer = qobject_cast<QTimer*>(ControlObject(*window, kTimer));
  ASSERT_TRUE(box && swatch && timer);

  struct Row {
    const char16_t* text;
    QColor color;
  };
  const Row rows[] = {
      {u"12\t34", QColor(0xFF, 0, 0)},
      {u"1279\t799", QColor(0x0A, 0x00, 0xAB)},
      {u"#12A5C3", QColor(0x12, 0xA5, 0xC3)},  // not a number: the line edit draws it
      {u"-5\t-7", QColor(0, 0, 0)},
      {u"-5\t-7", QColor(0xFE, 0xFE, 0xFE)},  // the colour alone
  };
  std::size_t next = 0;
  rec.onTick = [&](int) {
    const Row& row = rows[next];
    window->SetText(kBox, row.text);
    window->SetBackColor(kSwatch, ToColorValue(row.color));
  };
  struct Seen {
    QImage box, expectedBox, swatch;
  };
  std::vector<Seen> seen;
  auto grab = [&](QWidget* w) {
    const QRect r(w->mapTo(form, QPoint(0, 0)), w->size());
    return form->screen()->grabWindow(form->winId(), r.x(), r.y(), r.width(), r.height()).toImage().convertToFormat(
        QImage::Format_RGB32);
  };
  // Connected after the window's own receiver, so it runs as the tick has just ended.
  QObject::connect(timer, &QTimer::timeout, form, [&] {
    if (next >= std::size(rows)) return;
    seen.push_back({grab(box), box->grab().toImage().convertToFormat(QImage::Format_RGB32), grab(swatch)});
    if (++next == std::size(rows)) window->SetTimer(kTimer, false, 10);
  });
  window->SetTimer(kTimer, true, 10);
  ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() == std::size(rows); }, 5000));

  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE("tick " + std::to_string(i) + ", " + rows[i].color.name().toStdString());
    const Seen& s = seen[i];
    ASSERT_EQ(s.box.size(), s.expectedBox.size());
    int boxDiffers = 0;
    for (int y = 0; y < s.box.height(); ++y) {
      for (int x = 0; x < s.box.width(); ++x) boxDiffers += s.box.pixel(x, y) != s.expectedBox.pixel(x, y);
    }
    EXPECT_EQ(boxDiffers, 0);
    EXPECT_EQ(QColor(s.swatch.pixel(s.swatch.width() / 2, s.swatch.height() / 2)), rows[i].color);
  }

  // A tick that changes the box and then closes its window leaves nothing to paint.
  rec.onTick = [&](int) {
    window->SetText(kBox, u"1\t2");
    window.reset();
  };
  QPointer<QWidget> widget = form;
  window->SetTimer(kTimer, true, 10);
  EXPECT_TRUE(QTest::qWaitFor([&] { return widget.isNull(); }, 5000));
}

// A box showing a number draws it without HarfBuzz: for every pair of the characters a position is
// made of, the face must then place the same glyphs at the same places as it does shaped.
TEST_F(QtBackend, NumbersDrawTheSameUnshaped) {
  Recorder rec;
  auto window = Kit().BuildWindow(SmallLayout(), rec, nullptr);
  auto* box = qobject_cast<QLineEdit*>(ControlObject(*window, kBox));
  ASSERT_NE(box, nullptr);
  QFont shaped = box->font();
  shaped.setStyleStrategy(QFont::PreferDefault);
  QFont unshaped = shaped;
  unshaped.setStyleStrategy(QFont::PreferNoShaping);
  auto glyphs = [](const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QString out;
    for (const QGlyphRun& run : layout.glyphRuns()) {
      out += run.rawFont().familyName() + QLatin1Char(':');
      const QList<quint32> indexes = run.glyphIndexes();
      const QList<QPointF> positions = run.positions();
      for (qsizetype i = 0; i < indexes.size(); ++i) {
        out += QStringLiteral("%1@%2,%3 ").arg(indexes[i]).arg(positions[i].x()).arg(positions[i].y());
      }
    }
    return out;
  };
  const QString chars = QStringLiteral("0123456789- ") + QChar(0x2002);
  for (QChar a : chars) {
    for (QChar b : chars) {
      const QString pair = QString(a) + b + QChar(0x2002) + a + QStringLiteral("7");
      SCOPED_TRACE(pair.toStdString());
      EXPECT_EQ(glyphs(pair, unshaped).toStdString(), glyphs(pair, shaped).toStdString());
    }
  }
}

// Every pixel of the pattern differs from its neighbours in all three channels.
std::uint32_t PatternColour(int x, int y) {
  return static_cast<std::uint32_t>((x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x * 7 + y * 13) & 0xFF));
}
ColorValue AsColorValue(std::uint32_t rgb) {
  return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

TEST_F(QtBackend, PixelUnderThePointerIsExactForStepsJumpsAndEdges) {
  if (!OnX11()) GTEST_SKIP() << "reading the screen needs X11";
  X11Client x;
  ASSERT_TRUE(x.Ok());
  if (x.Screen()->root_depth != 24) GTEST_SKIP() << "the test paints a 24-bit screen";
  const int w = x.Screen()->width_in_pixels, h = x.Screen()->height_in_pixels;
  x.PaintRootPattern(0x0A00AB, 100, 100, 200, PatternColour);
  auto expected = [&](int px, int py) {
    const bool inside = px >= 100 && px < 300 && py >= 100 && py < 300;
    return AsColorValue(inside ? PatternColour(px, py) : 0x0A00AB);
  };

  ScreenServices& screen = g_platform->Screen();
  std::unique_ptr<ScreenContext> dc = screen.GetScreen();
  ASSERT_NE(dc, nullptr);
  struct Row {
    const char* move;
    int x;
    int y;
  };
  const Row rows[] = {
      {"first look", 150, 150},         {"one pixel right", 151, 150},    {"same step again", 152, 150},
      {"standing still", 152, 150},     {"steps of 8", 160, 150},          {"", 168, 150},
      {"turning back", 160, 151},       {"diagonal", 170, 161},           {"jump far away", 290, 290},
      {"last pattern pixel", 299, 299}, {"just outside", 300, 300},       {"root's top-left", 0, 0},
      {"one step in", 1, 1},            {"root's far corner", w - 1, h - 1}, {"along the bottom", w - 9, h - 1},
      {"back into the pattern", 100, 100}, {"its first column", 100, 101},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.move) + " to " + std::to_string(row.x) + "," + std::to_string(row.y));
    x.MovePointer(row.x, row.y);
    ScreenPoint p;
    ASSERT_TRUE(screen.CursorPos(p));
    EXPECT_EQ(p.x, row.x);
    EXPECT_EQ(p.y, row.y);
    EXPECT_EQ(dc->Pixel(p.x, p.y), expected(row.x, row.y));
    // A neighbour read next is read from the screen as it is now.
    EXPECT_EQ(dc->Pixel(std::min(p.x + 1, w - 1), p.y), expected(std::min(p.x + 1, w - 1), row.y));
  }

  // What the pointer's read brought along answers only the read that follows it.
  x.MovePointer(150, 150);
  ScreenPoint p;
  ASSERT_TRUE(screen.CursorPos(p));
  ASSERT_TRUE(screen.CursorPos(p));  // now standing still there
  EXPECT_EQ(dc->Pixel(150, 150), expected(150, 150));
  x.PaintRoot(0x102030);
  EXPECT_EQ(dc->Pixel(150, 150), AsColorValue(0x102030));
  ASSERT_TRUE(screen.CursorPos(p));
  x.PaintRoot(0x405060);
  EXPECT_EQ(dc->Pixel(150, 150), AsColorValue(0x102030)) << "the pointer and its pixel are one moment";
  EXPECT_EQ(dc->Pixel(150, 150), AsColorValue(0x405060));
}

// ---- Pixel decoding (no display needed) ----

TEST(PixelDecode, ValuesOfEveryDepthAndByteOrder) {
  struct Row {
    const char* name;
    std::vector<std::uint8_t> bytes;
    PixelFormat format;
    ColorValue expected;
  };
  const PixelFormat rgb24{32, false, 0xFF0000, 0x00FF00, 0x0000FF};
  const Row rows[] = {
      {"24-bit in 32 bpp, LSB first (B,G,R,X)", {0xAB, 0x00, 0x0A, 0x00}, rgb24, 0x00AB000A},
      {"24-bit in 32 bpp, MSB first", {0x00, 0x12, 0xA5, 0xC3}, {32, true, 0xFF0000, 0x00FF00, 0x0000FF}, 0x00C3A512},
      {"24-bit packed 24 bpp", {0xC3, 0xA5, 0x12}, {24, false, 0xFF0000, 0x00FF00, 0x0000FF}, 0x00C3A512},
      {"white", {0xFF, 0xFF, 0xFF, 0xFF}, rgb24, 0x00FFFFFF},
      {"16-bit 565 of #0A00AB", {0x15, 0x08}, {16, false, 0xF800, 0x07E0, 0x001F}, 0x00AD0008},
      {"16-bit 565 full white", {0xFF, 0xFF}, {16, false, 0xF800, 0x07E0, 0x001F}, 0x00FFFFFF},
      {"16-bit 565 of #12A5C3 (6-bit green)", {0x38, 0x15}, {16, false, 0xF800, 0x07E0, 0x001F}, 0x00C6A610},
      {"30-bit 10-10-10 of #0A00AB widened by replication", {0xAE, 0x02, 0x80, 0x02},
       {32, false, 0x3FF00000, 0x000FFC00, 0x000003FF}, 0x00AB000A},
      {"30-bit as Xvfb stores #0A00AB (blue 684)", {0xAC, 0x02, 0x80, 0x02},
       {32, false, 0x3FF00000, 0x000FFC00, 0x000003FF}, 0x00AB000A},
      {"30-bit full white", {0xFF, 0xFF, 0xFF, 0x3F}, {32, false, 0x3FF00000, 0x000FFC00, 0x000003FF}, 0x00FFFFFF},
      {"3-bit channels (8-bit true colour 332)", {0xB6}, {8, false, 0xE0, 0x1C, 0x03}, 0x00AAB6B6},
      {"BGR masks", {0x0A, 0x00, 0xAB, 0x00}, {32, false, 0x0000FF, 0x00FF00, 0xFF0000}, 0x00AB000A},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::uint32_t pixel = 0;
    ASSERT_TRUE(ReadPixelValue(row.bytes.data(), row.bytes.size(), row.format, pixel));
    EXPECT_EQ(DecodeTrueColor(pixel, row.format), row.expected);
  }
}

TEST(PixelDecode, OffsetsInsideAnImageOfARegion) {
  struct Row {
    const char* name;
    Region region;
    int bitsPerPixel;
    int pad;
    std::size_t length;
    int x;
    int y;
    bool found;
    std::size_t offset;
  };
  const Row rows[] = {
      {"top-left", {10, 20, 4, 3}, 32, 32, 48, 10, 20, true, 0},
      {"second row", {10, 20, 4, 3}, 32, 32, 48, 11, 21, true, 20},
      {"bottom-right", {10, 20, 4, 3}, 32, 32, 48, 13, 22, true, 44},
      {"left of it", {10, 20, 4, 3}, 32, 32, 48, 9, 21, false, 0},
      {"right of it", {10, 20, 4, 3}, 32, 32, 48, 14, 21, false, 0},
      {"below it", {10, 20, 4, 3}, 32, 32, 48, 10, 23, false, 0},
      {"image too short", {10, 20, 4, 3}, 32, 32, 47, 13, 22, false, 0},
      {"16 bpp rows padded to 32 bits", {0, 0, 3, 2}, 16, 32, 16, 2, 1, true, 12},
      {"24 bpp rows padded to 32 bits", {0, 0, 3, 2}, 24, 32, 24, 1, 1, true, 15},
      {"8 bpp rows padded to 32 bits", {0, 0, 5, 2}, 8, 32, 16, 4, 1, true, 12},
      {"4 bpp is not read", {0, 0, 4, 1}, 4, 32, 4, 0, 0, false, 0},
      {"no pad", {0, 0, 4, 1}, 32, 0, 16, 0, 0, false, 0},
      {"far corner of a large root", {32735, 32735, 32, 32}, 32, 32, 4096, 32766, 32766, true, 31 * 128 + 31 * 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::size_t offset = 0;
    EXPECT_EQ(PixelOffset(row.region, row.bitsPerPixel, row.pad, row.length, row.x, row.y, offset), row.found);
    if (row.found) {
      EXPECT_EQ(offset, row.offset);
    }
  }
}

TEST(PixelDecode, RegionFollowsThePointersLastStepAndStaysOnTheRoot) {
  struct Row {
    const char* name;
    ScreenPoint previous;
    ScreenPoint last;
    int width;
    int height;
    Region expected;
  };
  const Row rows[] = {
      {"standing still", {500, 400}, {500, 400}, 1280, 800, {484, 384, 32, 32}},
      {"moving right by 8", {492, 400}, {500, 400}, 1280, 800, {492, 384, 32, 32}},
      {"moving up-left", {510, 410}, {500, 400}, 1280, 800, {474, 374, 32, 32}},
      {"at the top-left corner", {0, 0}, {0, 0}, 1280, 800, {0, 0, 32, 32}},
      {"heading off the right edge", {1270, 790}, {1279, 799}, 1280, 800, {1248, 768, 32, 32}},
      {"a root smaller than the square", {5, 5}, {6, 6}, 20, 10, {0, 0, 20, 10}},
      {"a jump of the whole root", {0, 0}, {1279, 799}, 1280, 800, {1248, 768, 32, 32}},
      {"extreme coordinates", {-32768, -32768}, {32767, 32767}, 32767, 32767, {32735, 32735, 32, 32}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Region r = PredictedRegion(row.previous, row.last, row.width, row.height, 32);
    EXPECT_EQ(r.x, row.expected.x);
    EXPECT_EQ(r.y, row.expected.y);
    EXPECT_EQ(r.width, row.expected.width);
    EXPECT_EQ(r.height, row.expected.height);
  }
}

TEST(ScreenOrigin, ThePrimaryMonitorsTopLeftElseTheRoots) {
  struct Row {
    const char* name;
    std::vector<Monitor> monitors;
    ScreenPoint expected;
  };
  const Row rows[] = {
      {"no monitors (RandR without them)", {}, {0, 0}},
      {"none is primary", {{0, 0, false}, {1280, 0, false}}, {0, 0}},
      {"the right half is primary", {{0, 0, false}, {1280, 0, true}}, {1280, 0}},
      {"primary listed first, below another", {{0, 1024, true}, {0, 0, false}}, {0, 1024}},
      {"a primary left of the root's origin", {{-640, 0, true}, {0, 0, false}}, {-640, 0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ScreenPoint origin = PrimaryOrigin(row.monitors);
    EXPECT_EQ(origin.x, row.expected.x);
    EXPECT_EQ(origin.y, row.expected.y);
  }
}

TEST(PixelDecode, ShortOrOddDataIsRefused) {
  std::uint32_t pixel = 0;
  const std::uint8_t two[2] = {1, 2};
  EXPECT_FALSE(ReadPixelValue(two, 2, PixelFormat{32, false, 0xFF0000, 0xFF00, 0xFF}, pixel));
  EXPECT_FALSE(ReadPixelValue(two, 2, PixelFormat{12, false, 0xF00, 0xF0, 0xF}, pixel));
  EXPECT_FALSE(ReadPixelValue(two, 0, PixelFormat{8, false, 0, 0, 0}, pixel));
}

}  // namespace
}  // namespace tintvale::qt

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::unique_ptr<tintvale::Platform> platform;
  if (!::testing::GTEST_FLAG(list_tests)) {
    // These cases read the screen through X11 even inside a Wayland session; tests/portal covers the portal.
    setenv("TINTVALE_SCREEN", "x11", 1);
    platform = tintvale::CreatePlatform(argc, argv);
    tintvale::qt::g_platform = platform.get();
  }
  return RUN_ALL_TESTS();
}
