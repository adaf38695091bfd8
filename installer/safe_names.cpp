#include "installer/safe_names.h"

#include "platform/archive.h"

namespace zentro {

// One rule for both: the archive reader refuses the same names before it writes anything.
bool isSafeFileName(std::string_view name) { return platform::isSafePathComponent(name); }

bool IsSafeArchiveEntry(std::string_view name) { return platform::isSafeArchiveEntryName(name); }

}  // namespace zentro
