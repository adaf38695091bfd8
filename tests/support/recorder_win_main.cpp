// zentro_recorder.exe: the Windows form of the tests' recorder (tests/support/recorder.h).
// Writes its arguments, one per line, to <own path>.args, then its current folder to
// <own path>.cwd, each under a temporary name first; ends with the number in <own path>.exit.
//   zentro_recorder.exe --send=HWND
// records nothing: it sends the message WM_APP+7 to the window HWND (decimal) and ends with the
// window's answer, or 99 when the window did not answer within 20 s.
// Its version resource (recorder_win.rc, 5.0.21.1) is read by the version-resource tests.
#include <windows.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string utf8(const std::wstring& text) {
  const std::u8string bytes = std::filesystem::path(text).u8string();
  return std::string(bytes.begin(), bytes.end());
}

void writeWhole(const std::wstring& path, const std::string& text) {
  const std::wstring temporary = path + L".tmp";
  std::ofstream(std::filesystem::path(temporary), std::ios::binary) << text;
  MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int main() {
  if (const wchar_t* send = std::wcsstr(GetCommandLineW(), L"--send=")) {
    const auto window = reinterpret_cast<HWND>(std::wcstoull(send + 7, nullptr, 10));
    DWORD_PTR answer = 99;
    if (!SendMessageTimeoutW(window, WM_APP + 7, 0, 0, SMTO_NORMAL, 20000, &answer)) answer = 99;
    return static_cast<int>(answer);
  }
  wchar_t self[32768] = {};
  GetModuleFileNameW(nullptr, self, 32768);
  const std::wstring program = self;

  int exitCode = 0;  // also when the file is missing or holds no number
  std::ifstream(std::filesystem::path(program + L".exit")) >> exitCode;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::string args;
  for (int i = 1; i < argc; ++i) args += utf8(argv[i]) + "\n";
  LocalFree(argv);
  writeWhole(program + L".args", args);

  wchar_t folder[32768] = {};
  GetCurrentDirectoryW(32768, folder);
  writeWhole(program + L".cwd", utf8(folder) + "\n");
  return exitCode;
}
