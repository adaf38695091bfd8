// The archive entry name check. Portable on purpose: the Windows archive reader compiles this
// file too, so both platforms refuse the same names.
#include "platform/archive.h"

namespace zentro::platform {

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
    // Windows drops trailing dots and blanks of a component, so ". ." or "... " can mean "..";
    // refuse every component made of dots and blanks only, except "." itself.
    if (!part.empty() && part != "." &&
        part.find_first_not_of(". ") == std::string_view::npos) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace zentro::platform
