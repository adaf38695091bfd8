// The name checks applied to server-supplied file names and archive entry names. A name the
// check lets through must stay inside its folder however it is read: '/' and '\\' both
// separate, and a component of dots and blanks may mean ".." once Windows trims it.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "installer/safe_names.h"

namespace {

// True when `name` could reach outside the folder it is resolved in.
bool mayEscape(std::string_view name) {
  if (name.empty()) return true;
  if (name.front() == '/' || name.front() == '\\') return true;
  if (name.find(':') != std::string_view::npos) return true;  // drive letter, stream name
  if (name.find('\0') != std::string_view::npos) return true;
  long depth = 0;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    std::size_t kept = part.find_last_not_of(". ");
    if (kept == std::string_view::npos) {
      if (--depth < 0) return true;  // "..", "...", ". ." all count as the parent
    } else {
      ++depth;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view name(reinterpret_cast<const char*>(data), size);
  bool entry = zentro::IsSafeArchiveEntry(name);
  bool file = zentro::isSafeFileName(name);
  if (entry && mayEscape(name)) std::abort();
  if (file && (mayEscape(name) || name.find_first_of("/\\") != std::string_view::npos))
    std::abort();
  if (file && !entry) std::abort();  // a bare safe file name is a safe entry too
  return 0;
}
