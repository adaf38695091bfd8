// zentro_probe: started by the Win32 tests. Records how it was started and ends with the exit
// code it is told:
//   zentro_probe.exe [--record=FILE] [--exit=N] [anything else]
// FILE receives two lines: the raw command line (GetCommandLineA) and the current folder.
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  std::string record;
  int exitCode = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--record=", 0) == 0) record = arg.substr(9);
    if (arg.rfind("--exit=", 0) == 0) exitCode = std::atoi(arg.c_str() + 7);
  }
  if (!record.empty()) {
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    std::ofstream out(record, std::ios::binary);
    out << GetCommandLineA() << "\n" << folder << "\n";
  }
  return exitCode;
}
