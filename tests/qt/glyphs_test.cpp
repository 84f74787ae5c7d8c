// The glyphs the windows are drawn with: Japanese captions in a Japanese face whatever the locale, and
// numbers drawn unshaped placed exactly as shaped.
#include <gtest/gtest.h>

#include <QFont>
#include <QGlyphRun>
#include <QLineEdit>
#include <QRawFont>
#include <QTextLayout>
#include <string>

#include "about_box/frm_about.h"
#include "main_window/form1.h"
#include "platform/qt/conversions.h"
#include "tests/qt/qt_test_support.h"

namespace tintvale::qt {
namespace {

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

}  // namespace
}  // namespace tintvale::qt
