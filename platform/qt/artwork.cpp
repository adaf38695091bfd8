#include "platform/qt/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace zentro::qt {
namespace {

void paintLogo(QPainter& p, const QRectF& box) {
  p.setRenderHint(QPainter::Antialiasing);
  const qreal radius = box.width() * 0.22;
  QLinearGradient fill(box.topLeft(), box.bottomRight());
  fill.setColorAt(0, QColor(0x2f, 0x6f, 0xd6));
  fill.setColorAt(1, QColor(0x1b, 0x3f, 0x8f));
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(box, radius, radius);

  // A light sweep across the upper half keeps the flat square from looking dull.
  QPainterPath sheen;
  sheen.addRoundedRect(box, radius, radius);
  QPainterPath upper;
  upper.addRect(QRectF(box.left(), box.top(), box.width(), box.height() * 0.5));
  p.setBrush(QColor(255, 255, 255, 28));
  p.drawPath(sheen.intersected(upper));

  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(qMax(6, int(box.height() * 0.42)));
  font.setLetterSpacing(QFont::PercentageSpacing, 92);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(box, Qt::AlignCenter, QStringLiteral("VZ"));
}

}  // namespace

LogoMark::LogoMark(int side, QWidget* parent) : QWidget(parent) {
  setFixedSize(side, side);
  setAttribute(Qt::WA_TranslucentBackground);
}

void LogoMark::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const qreal side = qMin(width(), height());
  paintLogo(p, QRectF(0.5, 0.5, side - 1, side - 1));
}

QPixmap logoPixmap(int side) {
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  paintLogo(p, QRectF(0, 0, side, side));
  return pixmap;
}

QIcon refreshIcon(int side, const QColor& color) {
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

}  // namespace zentro::qt
