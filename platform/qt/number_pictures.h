// Numbers drawn from pictures of their characters. Each picture is one character drawn once by the same
// text machinery and at the same sub-pixel place as a line edit draws it, so a box that shows digits can
// put the line edit's own pixels on the screen without laying out and blending its glyphs again.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <array>
#include <memory>
#include <unordered_map>

class QPainter;

namespace tintvale::qt {

class TextBox;

class NumberPictures {
 public:
  // The characters of a number as a text box shows one: digits, minus and the two spaces.
  static bool IsNumberText(const QString& text);

  // For text of font in textColor on baseColor, at a pixel ratio of 1.
  NumberPictures(const QFont& font, QColor textColor, QColor baseColor);

  // False when a line edit would place these characters other than Draw does (ink taller than a line).
  bool Usable() const { return usable_; }
  bool DrawsFor(const QFont& font, QColor textColor, QColor baseColor) const;

  // Whether text fits a left-aligned line edit whose contents rectangle is contents without scrolling.
  bool Fits(const QString& text, const QRect& contents) const;
  // Draws text from its start where such a line edit puts it (the caller clips to contents).
  void Draw(QPainter& painter, const QString& text, const QRect& contents);

 private:
  static constexpr int kChars = 13;
  static constexpr int kSubPixels = 64;  // positions are 26.6 fixed point, as the text engine keeps them
  // The pixels a character changes, drawn after the one before it: where their ink meets, a line edit
  // blends the second glyph over the first, and so does the picture.
  struct Picture {
    QImage image;  // null for a character without ink
    QPoint at;     // its top-left from the pen's whole pixel and the line's top
  };
  static int CharIndex(QChar c);
  const Picture& PictureOf(int previous, int index, int subPixel);
  QImage Drawn(const QString& text, int width, double penX) const;

  QFont font_;
  QColor text_;
  QColor base_;
  bool usable_ = false;
  int lineHeight_ = 0;
  int pad_ = 0;  // room either side for ink beyond the pen and the advance
  std::array<int, kChars> advance64_{};
  std::unordered_map<int, Picture> pictures_;  // by previous character, character and sub-pixel
};

// A number in a text box without the focus (the coordinates, up to 100 times a second) drawn from pictures
// of its characters: laying the text out and blending its glyphs again took most of the work of each new
// coordinate text. Anything else, and any state the pictures do not cover, is drawn by the line edit itself.
class BoxNumbers {
 public:
  // After a text is set: pictures for the box's present font and colours when it shows a number, kept
  // only when they draw probe numbers pixel for pixel as the line edit does.
  void Prepare(TextBox& box);
  // From the box's paintEvent: draws its panel and number from pictures and returns true, or returns
  // false for the line edit to draw.
  bool Paint(TextBox& box);
  // The box's style changed.
  void Forget();
  bool LastPaintFromPictures() const { return drewFromPictures_; }

 private:
  static bool ShowsNumberPlainly(const TextBox& box);
  bool DrawsProbesLikeTheLineEdit(TextBox& box);

  std::unique_ptr<NumberPictures> numbers_;
  std::unique_ptr<NumberPictures> refused_;  // the last pictures that did not match, so they are not retried
  bool drawingAsLineEdit_ = false;
  bool drewFromPictures_ = false;  // by the last paint
};

}  // namespace tintvale::qt
