// The yardstick of the start-up benchmark: a bare Qt window of the launcher's size that ends
// right after it has first been painted.
#include <QApplication>
#include <QWidget>

#include "bench/first_paint_exit.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(430, 270);
  window.setWindowTitle(QStringLiteral("bare window"));
  zentro::bench::exitAfterFirstPaint(window);
  window.show();
  return QApplication::exec();
}
