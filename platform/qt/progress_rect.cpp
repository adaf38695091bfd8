#include "platform/qt/progress_rect.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zentro::qt {

ProgressRect::ProgressRect(double fullUnits, QWidget* parent)
    : QWidget(parent), fullUnits_(fullUnits) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ProgressRect::setUnits(double units) {
  if (units == units_) return;
  units_ = units;
  update();
}

QRect ProgressRect::track() const { return rect().adjusted(1, 1, -1, -1); }

int ProgressRect::filledWidth() const {
  // NaN and negative widths draw nothing; widths past the full one fill the track.
  if (!(units_ > 0) || fullUnits_ <= 0) return 0;
  const double fraction = std::min(1.0, units_ / fullUnits_);
  return int(std::lround(fraction * track().width()));
}

QSize ProgressRect::sizeHint() const { return QSize(240, 14); }
QSize ProgressRect::minimumSizeHint() const { return QSize(40, 14); }

void ProgressRect::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal radius = 3;
  p.setPen(palette().color(QPalette::Mid));
  p.setBrush(palette().color(QPalette::Base));
  p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

  const int filled = filledWidth();
  if (filled <= 0) return;
  QRect bar = track();
  bar.setWidth(filled);
  p.setPen(Qt::NoPen);
  p.setBrush(palette().color(QPalette::Highlight));
  p.drawRoundedRect(QRectF(bar), radius - 1, radius - 1);
}

}  // namespace zentro::qt
