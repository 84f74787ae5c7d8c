#include "platform/qt/panel_picture_style.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>
#include <utility>
#include <vector>

namespace tintvale::qt {
namespace {

class PanelPictures : public QProxyStyle {
 public:
  explicit PanelPictures(QStyle* base) : QProxyStyle(base) {}

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_PanelLineEdit || !Pictured(*option, *painter)) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    const qreal ratio = painter->device()->devicePixelRatio();
    const Key key{option->state.toInt(), option->rect.size(), option->palette.cacheKey(), ratio,
                  option->direction,     LineWidth(option)};
    auto found = std::find_if(pictures_.begin(), pictures_.end(), [&](const Picture& p) { return p.key == key; });
    if (found == pictures_.end()) {
      // A few pictures are enough: focused or not, active window or not, a changed colour.
      if (pictures_.size() >= kMaxPictures) pictures_.erase(pictures_.begin());
      QPixmap pixmap(option->rect.size() * ratio);
      pixmap.setDevicePixelRatio(ratio);
      pixmap.fill(Qt::transparent);
      {
        QPainter onPicture(&pixmap);
        DrawAtOrigin(element, *option, &onPicture, widget);
      }
      pictures_.push_back({key, std::move(pixmap)});
      found = pictures_.end() - 1;
    }
    painter->drawPixmap(option->rect.topLeft(), found->pixmap);
  }

 private:
  struct Key {
    QStyle::State::Int state;
    QSize size;
    qint64 palette;
    qreal ratio;
    Qt::LayoutDirection direction;
    int lineWidth;
    bool operator==(const Key&) const = default;
  };
  struct Picture {
    Key key;
    QPixmap pixmap;
  };
  static constexpr std::size_t kMaxPictures = 8;

  static int LineWidth(const QStyleOption* option) {
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    return frame ? frame->lineWidth : -1;
  }
  // Draws the panel with its option moved to the picture's origin. QStyleOption has no virtual destructor,
  // so each kind is copied as itself on the stack, never deleted through a base pointer.
  void DrawAtOrigin(PrimitiveElement element, const QStyleOption& option, QPainter* painter,
                    const QWidget* widget) const {
    if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(&option)) {
      QStyleOptionFrame copy(*frame);
      copy.rect.moveTopLeft(QPoint(0, 0));
      QProxyStyle::drawPrimitive(element, &copy, painter, widget);
      return;
    }
    QStyleOption copy(option);
    copy.rect.moveTopLeft(QPoint(0, 0));
    QProxyStyle::drawPrimitive(element, &copy, painter, widget);
  }
  // Only what a picture reproduces exactly: a plain painter on the widget and a solid base.
  static bool Pictured(const QStyleOption& option, const QPainter& painter) {
    return painter.worldTransform().isIdentity() && painter.opacity() == 1.0 &&
           painter.compositionMode() == QPainter::CompositionMode_SourceOver &&
           option.palette.base().style() == Qt::SolidPattern && !option.rect.isEmpty();
  }

  mutable std::vector<Picture> pictures_;
};

}  // namespace

QStyle* PanelPictureStyle() {
  static QPointer<QStyle> shared = [] {
    QStyle* base = QStyleFactory::create(QApplication::style()->name());
    if (!base) return QPointer<QStyle>();
    auto* style = new PanelPictures(base);  // takes base
    style->setParent(QCoreApplication::instance());
    return QPointer<QStyle>(style);
  }();
  return shared.data();
}

}  // namespace tintvale::qt
