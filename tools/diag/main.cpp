// zentro-diag: a diagnostic CLI for administrators and support.

#include <iostream>
#include <string>
#include <vector>

#include "tools/diag/diag_commands.h"

namespace {

constexpr const char* kUsage =
    "usage: zentro-diag rowset FILE\n"
    "         prints the fields (name, type, size) and the rows (JSON, NULL as null) of an\n"
    "         ADO XML rowset file\n"
    "       zentro-diag config [ROOT]\n"
    "         prints the properties of ROOT/VMIZentroConfig.XML (ROOT defaults to the current\n"
    "         folder)\n"
    "       zentro-diag call URL PROGID MEMBER [ARG...]\n"
    "         calls a business-object member over RDS and prints the result and the values\n"
    "         returned into by-reference arguments; ARG is s:text, b:true|false, i:42,\n"
    "         d:2.5, n: (Null) or e: (Empty), with a leading & to pass it by reference\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace zentro::diag;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? std::cerr : std::cout) << kUsage;
    return args.empty() ? 2 : 0;
  }
  const std::string& command = args[0];
  if (command == "rowset" && args.size() == 2) return rowsetCommand(args[1], std::cout, std::cerr);
  if (command == "config" && args.size() <= 2)
    return configCommand(args.size() == 2 ? args[1] : ".", std::cout, std::cerr);
  if (command == "call")
    return callCommand(std::vector<std::string>(args.begin() + 1, args.end()), std::cout, std::cerr);
  std::cerr << "zentro-diag: unknown command or wrong arguments: " << command << "\n" << kUsage;
  return 2;
}
