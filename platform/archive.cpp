// The portable half of platform/archive.h: the checks on names from the server and from
// archives, compiled for both platforms so both refuse the same names. The expansion itself is
// archive_libzip.cpp (Linux) and win32/archive_minizip_win.cpp (Windows).
#include "platform/archive.h"

#include <array>
#include <string>

namespace zentro::platform {
namespace {

// Windows opens the device for these names in any folder, whatever follows the first dot and
// with trailing blanks dropped ("con.txt", "Nul .dll", "COM1."). COM and LPT with a
// superscript digit name devices too.
bool isDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string upper(base);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                        "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kDevices) {
    if (upper == device) return true;
  }
  if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) {
    return false;
  }
  const std::string_view number = std::string_view(upper).substr(3);
  if (number.size() == 1) return number[0] >= '1' && number[0] <= '9';
  return number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

bool isSafePathComponent(std::string_view name) {
  // Only dots and blanks (or nothing): Windows trims those away, leaving "." or "..".
  if (name.find_first_not_of(". ") == std::string_view::npos) return false;
  if (name.find_first_of(std::string_view("/\\:\0", 4)) != std::string_view::npos) return false;
  return !isDeviceName(name);
}

bool isSafeArchiveEntryName(std::string_view name) {
  if (name.empty()) return false;
  if (name.front() == '/' || name.front() == '\\') return false;
  if (name.find('\0') != std::string_view::npos) return false;
  if (name.find(':') != std::string_view::npos) return false;

  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    // Empty parts ("a//b", a trailing separator) and "." stay in the folder; every other part
    // must be a safe level.
    if (!part.empty() && part != "." && !isSafePathComponent(part)) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace zentro::platform
