#pragma once
// prgTotal and prgCurrent: progress drawn as a filled rectangle whose width the install run
// sets in layout units. The track stands for the bar's full width in those units; the fill
// covers units / full of it, clamped to the track. Window thread only.

#include <QWidget>

namespace zentro::qt {

class ProgressRect : public QWidget {
 public:
  ProgressRect(double fullUnits, QWidget* parent = nullptr);

  void setUnits(double units);
  double units() const { return units_; }
  double fullUnits() const { return fullUnits_; }
  // Width of the filled part in pixels, inside the 1-pixel border (0 for a negative width).
  int filledWidth() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect track() const;
  double fullUnits_;
  double units_ = 0;
};

}  // namespace zentro::qt
