// zentro_recorder.exe: the Windows form of the tests' recorder (tests/support/recorder.h).
// Writes its arguments, one per line, to <own path>.args, then its current folder to
// <own path>.cwd, each under a temporary name first; ends with the number in <own path>.exit.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

void writeWhole(const std::wstring& path, const std::string& text) {
  const std::wstring temporary = path + L".tmp";
  if (FILE* f = _wfopen(temporary.c_str(), L"wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
}

}  // namespace

int main() {
  wchar_t self[32768] = {};
  GetModuleFileNameW(nullptr, self, 32768);
  const std::wstring program = self;

  int exitCode = 0;
  if (FILE* f = _wfopen((program + L".exit").c_str(), L"rb")) {
    if (std::fscanf(f, "%d", &exitCode) != 1) exitCode = 0;
    std::fclose(f);
  }
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
