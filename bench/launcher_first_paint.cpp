// Linked into the start-up benchmark's build of the launcher, beside the program's own
// program/main_qt.cpp: as the application object is created, it starts watching for the first
// paint of the login window, frmLogin, and ends the process then.
#include <QCoreApplication>

#include "bench/first_paint_exit.h"

namespace {

void watchForTheLoginWindow() {
  qApp->installEventFilter(
      new zentro::bench::FirstPaintExit(qApp, QStringLiteral("frmLogin")));
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(watchForTheLoginWindow)
