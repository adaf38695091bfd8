// zentro-demo-app: the application the demo world delivers and the launcher starts.
// It shows what it was started with: every argument on its own line, quoted, printed and
// appended to "demo-app-received.txt" in its current folder (and to $ZENTRO_DEMO_OUTPUT
// when set), so a run can be checked afterwards.

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

// The argument between double quotes; quotes and backslashes inside are escaped so the
// line stays unambiguous.
std::string quoted(const std::string& arg) {
  std::string out = "\"";
  for (char c : arg) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  std::string report = "argc=" + std::to_string(argc - 1) + "\n";
  for (int i = 1; i < argc; ++i) report += quoted(argv[i]) + "\n";

  std::cout << report << std::flush;
  bool ok = true;
  {
    std::ofstream out("demo-app-received.txt", std::ios::app | std::ios::binary);
    out << report;
    ok = ok && static_cast<bool>(out);
  }
  if (const char* extra = std::getenv("ZENTRO_DEMO_OUTPUT"); extra && *extra) {
    std::ofstream out(extra, std::ios::app | std::ios::binary);
    out << report;
    ok = ok && static_cast<bool>(out);
  }
  return ok ? 0 : 1;
}
