#pragma once
// Start-up measurement hook, compiled only into the benchmark's builds of a program: ends the
// process as soon as `window` has been painted for the first time, so the time from process
// start to exit is the time until the window is on screen. Nothing is torn down.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <cstdlib>

namespace zentro::bench {

class FirstPaintExit : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      // Queued, so the paint that is starting completes first.
      QMetaObject::invokeMethod(qApp, [] { std::_Exit(0); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }
};

inline void exitAfterFirstPaint(QWidget& window) {
  window.installEventFilter(new FirstPaintExit(&window));
}

}  // namespace zentro::bench
