#include "platform/qt/artwork.h"

#include <QApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <map>
#include <utility>

namespace zentro::qt {
namespace {

// `shape` filled white and antialiased on a transparent image of `pixels` device pixels.
QImage shapeMask(const QSize& pixels, qreal ratio, const QPainterPath& shape) {
  QImage mask(pixels, QImage::Format_ARGB32_Premultiplied);
  mask.setDevicePixelRatio(ratio);
  mask.fill(Qt::transparent);
  QPainter p(&mask);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(shape);
  return mask;
}

// The logo in `box` on a transparent image of side × side units at `ratio` device pixels per
// unit. The raster engine hands an antialiased gradient or translucent fill to worker threads,
// which for a picture this small costs more than the drawing and held up the window's first
// paint. So both are composed from fills it makes in the calling thread: the gradient over the
// whole square cut to the rounded shape by an opaque antialiased mask, and the sheen as an
// opaque mask laid on at the sheen's opacity. The picture is the same.
QImage logoImage(int side, qreal ratio, const QRectF& box) {
  const QSize pixels(qCeil(side * ratio), qCeil(side * ratio));
  QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);

  const qreal radius = box.width() * 0.22;
  QPainterPath body;
  body.addRoundedRect(box, radius, radius);
  // A light sweep across the upper half keeps the flat square from looking dull.
  QPainterPath upper;
  upper.addRect(QRectF(box.left(), box.top(), box.width(), box.height() * 0.5));

  QPainter p(&image);
  QLinearGradient fill(box.topLeft(), box.bottomRight());
  fill.setColorAt(0, QColor(0x2f, 0x6f, 0xd6));
  fill.setColorAt(1, QColor(0x1b, 0x3f, 0x8f));
  p.fillRect(QRectF(0, 0, side, side), fill);
  p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
  p.drawImage(QPointF(0, 0), shapeMask(pixels, ratio, body));
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.setOpacity(28 / 255.0);
  p.drawImage(QPointF(0, 0), shapeMask(pixels, ratio, body.intersected(upper)));
  p.setOpacity(1);

  // The letters are strokes of their own geometry, not text: they look the same on every
  // machine and on both windows (the Windows icons are drawn from the same strokes), and the
  // window's first paint needs no second font face.
  const auto at = [&box](qreal x, qreal y) {
    return QPointF(box.left() + box.width() * x, box.top() + box.height() * y);
  };
  constexpr qreal kTop = 0.29;
  constexpr qreal kBottom = 0.71;
  QPainterPath letters;
  letters.moveTo(at(0.15, kTop));
  letters.lineTo(at(0.32, kBottom));
  letters.lineTo(at(0.49, kTop));
  letters.moveTo(at(0.55, kTop));
  letters.lineTo(at(0.85, kTop));
  letters.lineTo(at(0.55, kBottom));
  letters.lineTo(at(0.85, kBottom));
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::white, qMax<qreal>(1.2, box.width() * 0.09), Qt::SolidLine, Qt::RoundCap,
                Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(letters);
  return image;
}

}  // namespace

const QImage& logoPicture(int side, qreal ratio) {
  static std::map<std::pair<int, qreal>, QImage> pictures;
  QImage& picture = pictures[{side, ratio}];
  if (picture.isNull()) picture = logoImage(side, ratio, QRectF(0.5, 0.5, side - 1, side - 1));
  return picture;
}

LogoMark::LogoMark(int side, QWidget* parent) : QWidget(parent) {
  setFixedSize(side, side);
  setAttribute(Qt::WA_TranslucentBackground);
}

void LogoMark::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(QPointF(0, 0), logoPicture(qMin(width(), height()), devicePixelRatioF()));
}

namespace {

QIcon drawRefreshIcon(int side, const QColor& color) {
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal pen = qMax<qreal>(1.5, side / 9.0);
  const QRectF ring(pen * 1.5, pen * 1.5, side - pen * 3, side - pen * 3);
  p.setPen(QPen(color, pen, Qt::SolidLine, Qt::RoundCap));
  // Open at the upper right, where the arrow head sits.
  p.drawArc(ring, 70 * 16, 290 * 16);

  const QPointF tip(ring.center().x() + ring.width() / 2 * 0.94, ring.top() + ring.height() * 0.28);
  const qreal head = side * 0.30;
  QPainterPath arrow;
  arrow.moveTo(tip + QPointF(0, -head * 0.95));
  arrow.lineTo(tip + QPointF(head * 0.35, head * 0.15));
  arrow.lineTo(tip + QPointF(-head * 0.75, head * 0.05));
  arrow.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawPath(arrow);
  return QIcon(pixmap);
}

}  // namespace

QIcon refreshIcon(int side, const QColor& color) {
  static std::map<std::pair<int, QRgb>, QIcon> icons;
  QIcon& icon = icons[{side, color.rgba()}];
  if (icon.isNull()) icon = drawRefreshIcon(side, color);
  return icon;
}

QIcon windowIcon() {
  return QIcon(QPixmap::fromImage(logoPicture(kLoginLogoSide, qApp->devicePixelRatio())));
}

void drawLoginArtwork() {
  logoPicture(kLoginLogoSide, qApp->devicePixelRatio());
  refreshIcon(kRefreshIconSide, QApplication::palette().color(QPalette::ButtonText));
}

}  // namespace zentro::qt
