#pragma once
// Pictures the window draws itself: the product logo (Image1) and the refresh arrow of
// cmdRefresh. Window thread only.

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace zentro::qt {

// The logo: a rounded square with the letters "VZ", scaled to the widget's square. Drawn once
// per size and pixel ratio, then shown from that picture.
class LogoMark : public QWidget {
 public:
  explicit LogoMark(int side, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
  int pictureSide_ = 0;
};

// The logo as a picture of `side` pixels (window icon).
QPixmap logoPixmap(int side);
// A circular arrow in `color`, for the cache-refresh button.
QIcon refreshIcon(int side, const QColor& color);

}  // namespace zentro::qt
