// The program: frmLogin is the start object. Creating the window runs Form_Load before the
// window is first shown; the program ends when the window unloads, with the run's exit status.
#include <QApplication>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "platform/program_info.h"
#include "platform/qt/artwork.h"
#include "platform/qt/font_warm_up.h"
#include "platform/qt/qt_view.h"
#include "program/run_program.h"

namespace {

// Every user can read a process's arguments (ps, /proc/PID/cmdline) for as long as it runs.
// Once the command line has been copied, the password in the arguments' own memory is
// overwritten with "*" so that it does not stay on show.
void hidePassword(int argc, char* argv[], const std::string& commandLine) {
  const auto [first, last] = zentro::commandLinePasswordSpan(commandLine);
  std::size_t at = 0;  // where argv[i] begins in the joined text
  for (int i = 1; i < argc; ++i) {
    const std::size_t length = std::strlen(argv[i]);
    for (std::size_t k = 0; k < length; ++k) {
      if (at + k >= first && at + k < last) argv[i][k] = '*';
    }
    at += length + 1;
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  // First, so that it runs while the toolkit starts.
  zentro::qt::FontWarmUp fonts;
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  zentro::platform::setCommandLine(commandLine);
  hidePassword(argc, argv, commandLine);

  // The arguments are the automatic login's, not Qt's: a password such as "-reverse" must not
  // be taken as a toolkit option. Qt gets the program path only.
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication app(qtArgc, qtArgv);
  // The window ends the program itself when it unloads; a closing message box must not.
  QApplication::setQuitOnLastWindowClosed(false);

  // What needs no font runs while the font configuration is still loading: the artwork, the
  // start-up work that needs no window, and the window's controls up to its first text box.
  zentro::qt::drawLoginArtwork();
  std::unique_ptr<zentro::ProgramState> loaded = zentro::LoadConfig();
  zentro::qt::QtView view([&fonts] { fonts.wait(); });
  return zentro::runProgram(view, [] { QApplication::exec(); }, std::move(loaded));
}
