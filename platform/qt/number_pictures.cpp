#include "platform/qt/number_pictures.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOption>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>

#include "platform/qt/text_box.h"

namespace tintvale::qt {
namespace {

constexpr char16_t kEnSpace = 0x2002;
const char16_t kNumberChars[] = u"0123456789- \u2002";

// One line laid out as a line edit lays out its text: no device (screen metrics), trailing spaces kept.
void LayOut(QTextLayout& layout) {
  QTextOption option;
  option.setTextDirection(Qt::LeftToRight);
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  layout.setTextOption(option);
  layout.setCacheEnabled(true);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
}

}  // namespace

bool NumberPictures::IsNumberText(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return CharIndex(c) >= 0; });
}

int NumberPictures::CharIndex(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u == u'-') return 10;
  if (u == u' ') return 11;
  if (u == kEnSpace) return 12;
  return -1;
}

NumberPictures::NumberPictures(const QFont& font, QColor textColor, QColor baseColor)
    : font_(font), text_(textColor), base_(baseColor) {
  const QFontMetrics metrics(font_);
  lineHeight_ = metrics.height();
  pad_ = lineHeight_;
  const QString all = QString::fromUtf16(kNumberChars, kChars);
  // A line edit centres a line as tall as the text's ink when that is taller than the font's line.
  usable_ = metrics.boundingRect(all).height() <= lineHeight_ && base_.alpha() == 255;
  for (int i = 0; i < kChars; ++i) {
    QTextLayout layout(QString(QChar(kNumberChars[i])), font_);
    LayOut(layout);
    advance64_[static_cast<std::size_t>(i)] = static_cast<int>(std::lround(layout.lineAt(0).naturalTextWidth() * 64));
  }
}

bool NumberPictures::DrawsFor(const QFont& font, QColor textColor, QColor baseColor) const {
  return textColor == text_ && baseColor == base_ && font == font_;
}

bool NumberPictures::Fits(const QString& text, const QRect& contents) const {
  if (!usable_ || !IsNumberText(text)) return false;
  long width64 = 0;
  for (QChar c : text) width64 += advance64_[static_cast<std::size_t>(CharIndex(c))];
  // The line edit scrolls once its text, rounded up by a pixel, is wider than the line inside its margins.
  return std::lround(static_cast<double>(width64) / 64) + 1 <= contents.width() - 4;
}

QImage NumberPictures::Drawn(const QString& text, int width, double penX) const {
  QImage image(width, lineHeight_, QImage::Format_RGB32);
  image.fill(base_);
  QPainter painter(&image);
  painter.setPen(text_);
  QTextLayout layout(text, font_);
  LayOut(layout);
  layout.draw(&painter, QPointF(penX, 0));
  return image;
}

const NumberPictures::Picture& NumberPictures::PictureOf(int previous, int index, int subPixel) {
  const int key = ((previous + 1) * kChars + index) * kSubPixels + subPixel;
  if (auto found = pictures_.find(key); found != pictures_.end()) return found->second;
  Picture& picture = pictures_[key];
  const int before = previous < 0 ? 0 : (advance64_[static_cast<std::size_t>(previous)] + 63) / 64;
  const int penX = pad_ + before;  // the character's pen, with room for the one before it
  const int width = penX + (advance64_[static_cast<std::size_t>(index)] + 63) / 64 + pad_;
  const double sub = subPixel / static_cast<double>(kSubPixels);
  const QString alone(QChar(kNumberChars[index]));
  // Its ink, found from the character drawn alone at the same place.
  const QImage inkOnly = Drawn(alone, width, penX + sub);
  const QRgb base = base_.rgb() | 0xFF000000u;
  int left = width, right = -1, top = lineHeight_, bottom = -1;
  for (int y = 0; y < lineHeight_; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(inkOnly.constScanLine(y));
    for (int x = 0; x < width; ++x) {
      if ((row[x] | 0xFF000000u) == base) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return picture;
  const QRect ink(QPoint(left, top), QPoint(right, bottom));
  // Its pixels, drawn after the character before it as the line draws them.
  const QImage drawn = previous < 0 ? inkOnly
                                    : Drawn(QString(QChar(kNumberChars[previous])) + alone, width,
                                            penX + sub - advance64_[static_cast<std::size_t>(previous)] /
                                                             static_cast<double>(kSubPixels));
  picture.image = drawn.copy(ink);
  picture.at = ink.topLeft() - QPoint(penX, 0);
  return picture;
}

void NumberPictures::Draw(QPainter& painter, const QString& text, const QRect& contents) {
  // Where a line edit puts its line: 2 pixels in from the contents, centred as (height - line + 1) / 2.
  const int penX = contents.x() + 2;
  const int lineTop = contents.y() + (contents.height() - lineHeight_ + 1) / 2;
  long position64 = 0;
  int previous = -1;
  for (QChar c : text) {
    const int index = CharIndex(c);
    const Picture& picture = PictureOf(previous, index, static_cast<int>(position64 % kSubPixels));
    if (!picture.image.isNull()) {
      const QPoint at(penX + static_cast<int>(position64 / kSubPixels) + picture.at.x(), lineTop + picture.at.y());
      painter.drawImage(at, picture.image);
    }
    position64 += advance64_[static_cast<std::size_t>(index)];
    previous = index;
  }
}

bool BoxNumbers::ShowsNumberPlainly(const TextBox& box) {
  return !box.hasFocus() && !box.hasSelectedText() && box.echoMode() == QLineEdit::Normal &&
         box.alignment() == (Qt::AlignLeft | Qt::AlignVCenter) && box.layoutDirection() == Qt::LeftToRight &&
         box.devicePixelRatioF() == 1.0 && !QAccessible::isActive() && !box.text().isEmpty() &&
         NumberPictures::IsNumberText(box.text());
}

bool BoxNumbers::Paint(TextBox& box) {
  drewFromPictures_ = false;
  if (!numbers_ || drawingAsLineEdit_ || !ShowsNumberPlainly(box)) return false;
  const QPalette& pal = box.palette();
  if (!numbers_->DrawsFor(box.font(), pal.text().color(), pal.base().color())) return false;
  const QStyleOptionFrame panel = box.PanelOption();
  const QRect contents =
      box.style()->subElementRect(QStyle::SE_LineEditContents, &panel, &box).marginsRemoved(box.textMargins());
  // A text that is wider than the box is scrolled to show the caret, which stands at the start
  // after a set; a narrower one shows from the start wherever the caret is.
  const QString shown = box.text();
  if (box.cursorPosition() != 0 && !numbers_->Fits(shown, contents)) return false;
  QPainter painter(&box);
  box.style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, &box);
  painter.setClipRect(contents);
  numbers_->Draw(painter, shown, contents);
  drewFromPictures_ = true;
  return true;
}

void BoxNumbers::Prepare(TextBox& box) {
  if (!ShowsNumberPlainly(box)) return;
  // A font whose figures the pictures cannot reproduce keeps the line edit's drawing.
  const QPalette& pal = box.palette();
  const QColor textColor = pal.text().color();
  const QColor baseColor = pal.base().color();
  if (numbers_ && numbers_->DrawsFor(box.font(), textColor, baseColor)) return;
  if (refused_ && refused_->DrawsFor(box.font(), textColor, baseColor)) return;
  numbers_ = std::make_unique<NumberPictures>(box.font(), textColor, baseColor);
  if (!numbers_->Usable() || !DrawsProbesLikeTheLineEdit(box)) refused_ = std::move(numbers_);
}

void BoxNumbers::Forget() {
  numbers_.reset();
  refused_.reset();
}

bool BoxNumbers::DrawsProbesLikeTheLineEdit(TextBox& box) {
  const QSignalBlocker quiet(&box);  // the probes are no change of the box's text
  const QString saved = box.text();
  const int cursor = box.cursorPosition();
  bool same = true;
  const QChar en(0x2002);
  for (const QString& probe : {QStringLiteral("0123"), QStringLiteral("4567"), QStringLiteral("89-0"),
                               QStringLiteral("1 2") + en + QStringLiteral("3"),
                               QStringLiteral("-9") + en + QStringLiteral("-8")}) {
    box.setText(probe);
    box.setCursorPosition(0);
    QImage lineEdit(box.size(), QImage::Format_RGB32);
    QImage pictures(box.size(), QImage::Format_RGB32);
    drawingAsLineEdit_ = true;
    box.render(&lineEdit);
    drawingAsLineEdit_ = false;
    box.render(&pictures);
    same = same && drewFromPictures_ && lineEdit == pictures;
  }
  box.setText(saved);
  box.setCursorPosition(cursor);
  return same;
}

}  // namespace tintvale::qt
