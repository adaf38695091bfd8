#include "platform/qt/status_frame.h"

#include <QFontMetrics>
#include <QLayout>

namespace zentro::qt {

StatusFrame::StatusFrame(QWidget* parent) : QGroupBox(parent) {}

void StatusFrame::setCaption(const QString& caption) {
  caption_ = caption;
  setToolTip(caption_);
  showCaption();
}

QSize StatusFrame::minimumSizeHint() const {
  // A long caption must not widen the fixed-size window; it is shortened instead.
  QSize hint = QGroupBox::minimumSizeHint();
  if (layout()) hint.setWidth(layout()->minimumSize().width());
  return hint;
}

void StatusFrame::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  showCaption();
}

void StatusFrame::showCaption() {
  // Group titles treat '&' as a mnemonic marker; double it so file names show as they are.
  const int room = qMax(0, width() - 24);
  QString line = caption_;
  line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  QString shown = fontMetrics().elidedText(line, Qt::ElideRight, room);
  shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
  setTitle(shown);
}

}  // namespace zentro::qt
