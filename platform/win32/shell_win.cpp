// Starting programs: ShellExecuteA for the launch, CreateProcessA for the installers and the
// registration tool.
#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

namespace zentro::platform {
namespace {

// CreateProcessA may write into its command-line buffer, so it gets a private copy.
bool createProcess(const std::string& commandLine, WORD showWindow, bool useShow,
                   PROCESS_INFORMATION& pi) {
  if (commandLine.empty()) return false;
  std::string buffer = commandLine;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (useShow) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = showWindow;
  }
  return CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &si, &pi) != 0;
}

}  // namespace

int shellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                 const std::string& workingFolder, int showCommand) {
  // The shell's owner window is the active one of this thread (the launcher's own window).
  HINSTANCE result = ShellExecuteA(GetActiveWindow(), verb.empty() ? nullptr : verb.c_str(),
                                   file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                                   workingFolder.empty() ? nullptr : workingFolder.c_str(),
                                   showCommand);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

int runAndWait(const std::string& commandLine) {
  PROCESS_INFORMATION pi{};
  if (!createProcess(commandLine, 0, false, pi)) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD exitCode = 0;
  const bool known = GetExitCodeProcess(pi.hProcess, &exitCode) != 0;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return known ? static_cast<int>(exitCode) : -1;
}

int reportedExitCode(int programExitCode) { return programExitCode; }

void startProgram(const std::string& commandLine) {
  PROCESS_INFORMATION pi{};
  // Fire and forget: the outcome is not observed.
  if (!createProcess(commandLine, SW_SHOWMINIMIZED, true, pi)) return;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace zentro::platform
