#include "installer/safe_names.h"

#include "platform/archive.h"

namespace zentro {

bool IsSafeFileName(std::string_view name) {
  // Only dots and blanks: Windows trims those away, leaving the folder itself or its parent.
  if (name.find_first_not_of(". ") == std::string_view::npos) return false;
  return name.find_first_of(std::string_view("/\\:\0", 4)) == std::string_view::npos;
}

bool IsSafeArchiveEntry(std::string_view name) {
  // One rule for both: the archive reader refuses the same names before it writes anything.
  return platform::isSafeArchiveEntryName(name);
}

}  // namespace zentro
