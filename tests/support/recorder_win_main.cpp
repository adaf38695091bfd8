// zentro_recorder.exe: the Windows form of the tests' recorder (tests/support/recorder.h).
// Writes its arguments, one per line, to <own path>.args, then its current folder to
// <own path>.cwd, each under a temporary name first; ends with the number in <own path>.exit.
#include <windows.h>

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
