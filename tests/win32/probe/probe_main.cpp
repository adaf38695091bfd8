// zentro_probe: started by the Win32 tests, which read its version resource (5.0.21.1).
//   zentro_probe.exe [--send=HWND]
// --send sends the message WM_APP+7 to the window HWND (decimal) and ends with the window's
// answer, or 99 when the window did not answer within 20 s; else it ends with 0.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

int main() {
  const wchar_t* send = std::wcsstr(GetCommandLineW(), L"--send=");
  if (!send) return 0;
  const auto window = reinterpret_cast<HWND>(std::wcstoull(send + 7, nullptr, 10));
  DWORD_PTR answer = 99;
  if (!SendMessageTimeoutW(window, WM_APP + 7, 0, 0, SMTO_NORMAL, 20000, &answer)) answer = 99;
  return static_cast<int>(answer);
}
