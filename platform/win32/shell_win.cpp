// Starting programs: ShellExecuteW for the launch, CreateProcessW for the installers and the
// registration tool.
#include "platform/shell.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "platform/runtime_error.h"
#include "platform/win32/shell_win.h"
#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

using win32::toWide;

// The longest command line Windows passes to a program, in UTF-16 units with its end mark.
constexpr std::size_t kMaxCommandLine = 32767;

HWND& ownerWindow() {
  static HWND owner = nullptr;
  return owner;
}

// CreateProcessW may write into its command-line buffer, so it gets a private copy.
bool createProcess(const std::string& commandLine, WORD showWindow, bool useShow,
                   PROCESS_INFORMATION& pi) {
  std::wstring buffer = toWide(commandLine);
  if (buffer.empty()) return false;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (useShow) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = showWindow;
  }
  return CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &si, &pi) != 0;
}

// Nullptr for an empty text: the shell's "not given".
const wchar_t* orNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

void waitForProcess(HANDLE process) {
  // Messages sent to this thread's windows by other threads or programs (an installer's
  // broadcast, a system notice) are answered meanwhile, or their senders would hang with us.
  // Posted messages (input, timer ticks, the window's own tasks) stay queued until the wait is
  // over, so the walk that called this does not move on.
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_SENDMESSAGE);
    if (r != WAIT_OBJECT_0 + 1) return;  // ended, or the handle cannot be waited on
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace

void win32::setShellOwnerWindow(HWND window) { ownerWindow() = window; }

int shellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                 const std::string& workingFolder, int showCommand) {
  // The shell may hand the start to extensions that need COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const std::wstring wideVerb = toWide(verb), wideFile = toWide(file),
                     wideParameters = toWide(parameters), wideFolder = toWide(workingFolder);
  // The program's quoted path, a space and the parameters must fit, or the start would fail
  // with a code that names no reason the user can act on.
  if (wideFile.size() + wideParameters.size() + 4 > kMaxCommandLine) {
    if (SUCCEEDED(com)) CoUninitialize();
    throw RuntimeError(kErrGeneric, "ShellExecute", std::string(kCommandLineTooLong));
  }
  // The launcher's own window owns the shell's dialogs (the elevation prompt among them), so
  // they come to the front with it even when it is not the active window.
  HINSTANCE result = ShellExecuteW(ownerWindow(), orNull(wideVerb), wideFile.c_str(),
                                   orNull(wideParameters), orNull(wideFolder), showCommand);
  if (SUCCEEDED(com)) CoUninitialize();
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

int runAndWait(const std::string& commandLine) {
  PROCESS_INFORMATION pi{};
  if (!createProcess(commandLine, 0, false, pi)) return -1;
  waitForProcess(pi.hProcess);
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
