// zentro_probe: started by the Win32 tests. Records how it was started and ends with the exit
// code it is told:
//   zentro_probe.exe [--record=FILE] [--exit=N] [--send=HWND] [anything else]
// FILE (any characters) receives two UTF-8 lines: the raw command line (GetCommandLineW) and
// the current folder. --send sends the message WM_APP+7 to the window HWND (decimal) and ends
// with the window's answer, or 99 when the window did not answer within 20 s.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/text_convert_win.h"

using zentro::platform::win32::fromWide;

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring record;
  int exitCode = 0;
  for (int i = 1; argv && i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.rfind(L"--record=", 0) == 0) record = arg.substr(9);
    if (arg.rfind(L"--exit=", 0) == 0) exitCode = std::wcstol(arg.c_str() + 7, nullptr, 10);
    if (arg.rfind(L"--send=", 0) == 0) {
      const auto window = reinterpret_cast<HWND>(std::wcstoull(arg.c_str() + 7, nullptr, 10));
      DWORD_PTR answer = 99;
      if (!SendMessageTimeoutW(window, WM_APP + 7, 0, 0, SMTO_NORMAL, 20000, &answer)) answer = 99;
      exitCode = static_cast<int>(answer);
    }
  }
  if (!record.empty()) {
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    if (FILE* out = _wfopen(record.c_str(), L"wb")) {
      std::fprintf(out, "%s\n%s\n", fromWide(GetCommandLineW()).c_str(), fromWide(folder).c_str());
      std::fclose(out);
    }
  }
  if (argv) LocalFree(argv);
  return exitCode;
}
