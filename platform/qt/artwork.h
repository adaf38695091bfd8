#pragma once
// Pictures the window draws itself: the product logo (Image1) and the refresh arrow of
// cmdRefresh. Window thread only.

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace zentro::qt {

// The side of the login panel's logo, which is also the window icon.
inline constexpr int kLoginLogoSide = 72;
// The side of the cache-refresh button's arrow.
inline constexpr int kRefreshIconSide = 32;

// The logo: a rounded square with the letters "VZ" on a transparent picture of side × side units
// at `ratio` device pixels per unit. Drawn once per size and ratio and kept, so the window icon
// and the login panel's logo are one drawing.
const QImage& logoPicture(int side, qreal ratio);

// The logo scaled to the widget's square, shown from logoPicture.
class LogoMark : public QWidget {
 public:
  explicit LogoMark(int side, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
// The window icon: the login panel's logo at the application's pixel ratio.
QIcon windowIcon();
// A circular arrow in `color`, for the cache-refresh button; drawn once per size and colour.
QIcon refreshIcon(int side, const QColor& color);

// Draws the login panel's pictures ahead of the window: they need no font, so the program draws
// them while the font configuration is still loading. The application object must exist.
void drawLoginArtwork();

}  // namespace zentro::qt
