#pragma once
// frameStatus: the install panel's group whose caption is the per-file status line. The
// caption is shown on one line, shortened with an ellipsis when it is wider than the frame,
// and read back in full. Window thread only.

#include <QGroupBox>

namespace zentro::qt {

class StatusFrame : public QGroupBox {
 public:
  explicit StatusFrame(QWidget* parent = nullptr);

  void setCaption(const QString& caption);
  const QString& caption() const { return caption_; }

  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void showCaption();
  QString caption_;
};

}  // namespace zentro::qt
