#include "platform/win32/command_line_win.h"

#include "platform/win32/text_convert_win.h"

namespace zentro::platform::win32 {

std::string argumentText(std::wstring_view line) {
  std::size_t p = 0;
  if (p < line.size() && line[p] == L'"') {
    p = line.find(L'"', 1);
    p = p == std::wstring_view::npos ? line.size() : p + 1;
  } else {
    while (p < line.size() && line[p] != L' ' && line[p] != L'\t') ++p;
  }
  while (p < line.size() && (line[p] == L' ' || line[p] == L'\t')) ++p;
  return fromWide(line.substr(p));
}

}  // namespace zentro::platform::win32
