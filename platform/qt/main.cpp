// The program: frmLogin is the start object. Creating the window runs Form_Load before the
// window is first shown; the program ends when the window unloads.
#include <QApplication>
#include <string>

#include "app/event_guard.h"
#include "app/form_login.h"
#include "platform/program_info.h"
#include "platform/qt/qt_view.h"

#ifdef ZENTRO_STARTUP_PROBE
#include "bench/first_paint_exit.h"
#endif

int main(int argc, char* argv[]) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  zentro::platform::setCommandLine(commandLine);

  // The arguments are the automatic login's, not Qt's: a password such as "-reverse" must not
  // be taken as a toolkit option. Qt gets the program path only.
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication app(qtArgc, qtArgv);
  // The window ends the program itself when it unloads; a closing message box must not.
  QApplication::setQuitOnLastWindowClosed(false);

  zentro::qt::QtView view;
  zentro::FrmLogin controller(view);
  zentro::EventGuard guard(controller, view);
  view.attach(guard);

  guard.Form_Load();
  if (view.ended()) return 0;
#ifdef ZENTRO_STARTUP_PROBE
  zentro::bench::exitAfterFirstPaint(view);
#endif
  view.show();
  return QApplication::exec();
}
