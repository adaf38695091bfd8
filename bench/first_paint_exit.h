#pragma once
// Start-up measurement hook, compiled only into the benchmark's builds of a program: ends the
// process as soon as a window has been painted for the first time, so the time from process
// start to exit is the time until the window is on screen. Nothing is torn down.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QWidget>
#include <cstdlib>
#include <utility>

namespace zentro::bench {

class FirstPaintExit : public QObject {
 public:
  // Installed on a window, its own first paint ends the process; installed on the
  // application, which sees every widget's events, the first paint of the top-level window
  // named `windowName`.
  explicit FirstPaintExit(QObject* parent, QString windowName = {})
      : QObject(parent), windowName_(std::move(windowName)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watches(watched)) {
      // Queued, so the paint that is starting completes first.
      QMetaObject::invokeMethod(qApp, [] { std::_Exit(0); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool watches(QObject* watched) const {
    if (windowName_.isEmpty()) return true;
    return watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow() &&
           watched->objectName() == windowName_;
  }

  QString windowName_;
};

inline void exitAfterFirstPaint(QWidget& window) {
  window.installEventFilter(new FirstPaintExit(&window));
}

}  // namespace zentro::bench
