// The portable half of platform/shell.h: splitting a command-line text into arguments, the
// same on every platform, so a program started on Linux receives exactly what it would
// receive on Windows.
#include <string>
#include <vector>

#include "platform/shell.h"

namespace zentro::platform {

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
  // The C runtime's rules: 2n backslashes before a quote give n backslashes and the quote
  // toggles quoting; 2n+1 give n backslashes and a literal quote; inside quotes "" is a
  // literal quote; other backslashes are literal; blanks and tabs outside quotes separate.
  std::vector<std::string> args;
  const std::size_t n = commandLine.size();
  std::size_t i = 0;
  for (;;) {
    while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    if (i >= n) break;
    std::string arg;
    bool inQuote = false;
    for (;;) {
      std::size_t slashes = 0;
      while (i < n && commandLine[i] == '\\') {
        ++slashes;
        ++i;
      }
      bool copyChar = true;
      if (i < n && commandLine[i] == '"') {
        if (slashes % 2 == 0) {
          if (inQuote && i + 1 < n && commandLine[i + 1] == '"') {
            ++i;
          } else {
            copyChar = false;
            inQuote = !inQuote;
          }
        }
        slashes /= 2;
      }
      arg.append(slashes, '\\');
      if (i >= n || (!inQuote && (commandLine[i] == ' ' || commandLine[i] == '\t'))) break;
      if (copyChar) arg.push_back(commandLine[i]);
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

}  // namespace zentro::platform
