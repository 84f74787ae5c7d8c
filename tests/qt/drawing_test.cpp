// What the controls leave on the screen: the text box panel drawn from a kept picture as the application
// style draws it, a swatch that keeps its border when its colour changes, and a tick's changes on the
// screen when it ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/qt/qt_test_support.h"

namespace tintvale::qt {
namespace {

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
    return form->screen()
        ->grabWindow(form->winId(), r.x(), r.y(), r.width(), r.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
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
      // One row a line (clang-format would pack them two to a line).
      // clang-format off
      {u"12\t34", QColor(0xFF, 0, 0)},
      {u"1279\t799", QColor(0x0A, 0x00, 0xAB)},
      {u"#12A5C3", QColor(0x12, 0xA5, 0xC3)},  // not a number: the line edit draws it
      {u"-5\t-7", QColor(0, 0, 0)},
      {u"-5\t-7", QColor(0xFE, 0xFE, 0xFE)},  // the colour alone
      // clang-format on
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
    return form->screen()
        ->grabWindow(form->winId(), r.x(), r.y(), r.width(), r.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
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

}  // namespace
}  // namespace tintvale::qt
