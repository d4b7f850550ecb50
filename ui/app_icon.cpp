#include "ui/app_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStringLiteral>
#include <QSvgRenderer>
#include <memory>

namespace tessaly::ui {
namespace {

const QString kSvgIcon = QStringLiteral(":/tessaly/tessaly.svg");

// Draws the vector icon at whatever size and device pixel ratio is asked for, so that it stays
// sharp at every scale factor; Qt's own SVG icon engine is a plugin that may be missing.
class SvgIconEngine final : public QIconEngine {
 public:
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    renderer_.render(painter, rect);
    if (mode == QIcon::Disabled) {
      painter->save();
      painter->setCompositionMode(QPainter::CompositionMode_SourceAtop);
      painter->fillRect(rect, QColor(128, 128, 128, 160));
      painter->restore();
    }
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap image(size);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(&painter, QRect(QPoint(), size), mode, state);
    return image;
  }

  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    // QIcon hands the size in device pixels already.
    QPixmap image = pixmap(size, mode, state);
    image.setDevicePixelRatio(scale);
    return image;
  }

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
  QIconEngine* clone() const override { return new SvgIconEngine; }  // QIcon owns it
  QString key() const override { return QStringLiteral("tessaly-svg"); }
  bool isNull() override { return !renderer_.isValid(); }

 private:
  QSvgRenderer renderer_{kSvgIcon};
};

}  // namespace

QIcon AppIcon() {
  auto engine = std::make_unique<SvgIconEngine>();
  if (engine->isNull()) return QIcon(QStringLiteral(":/tessaly/tessaly.png"));
  return QIcon(engine.release());  // QIcon takes ownership
}

}  // namespace tessaly::ui
