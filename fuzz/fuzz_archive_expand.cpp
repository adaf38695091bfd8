// Expanding an archive into an empty folder with small limits. The input is either a ZIP file
// as it is ("PK" first), or a script from which a valid ZIP is built first, so mutations reach
// the expansion rather than dying in the archive's checksums (script: fuzz/zip_script.h).
// expandArchive never throws. On failure nothing may be left in the folder; on success only
// regular files and folders, no ".part" leftovers, within the byte limit, and (for a script)
// every file holds what its entry held. Nothing may ever appear beside the folder.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/zip_script.h"
#include "platform/archive.h"

namespace {

namespace fs = std::filesystem;
using zentro::fuzz::buildZip;
using zentro::fuzz::ScriptEntry;

constexpr std::uint64_t kMaxBytes = 64 << 10;
constexpr std::uint64_t kMaxEntries = 64;

// Where an entry lands: '/' and '\\' separate, empty and "." components vanish.
fs::path landing(const fs::path& folder, std::string_view name) {
  fs::path out = folder;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    if (!part.empty() && part != ".") out /= std::string(part);
    start = end + 1;
  }
  return out;
}

void checkExpanded(const fs::path& folder, const std::vector<ScriptEntry>& entries) {
  std::uint64_t total = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    fs::file_status st = it->symlink_status();
    if (fs::is_directory(st)) continue;
    if (!fs::is_regular_file(st)) std::abort();
    // A ".part" file is a leftover unless an entry itself has that name.
    if (it->path().extension() == ".part" &&
        std::none_of(entries.begin(), entries.end(),
                     [&](const ScriptEntry& e) { return landing(folder, e.name) == it->path(); })) {
      std::abort();
    }
    total += fs::file_size(it->path());
  }
  if (ec || total > kMaxBytes) std::abort();
  for (const ScriptEntry& e : entries) {
    if (e.folder) continue;
    fs::path landed = landing(folder, e.name);
    if (!fs::is_regular_file(fs::symlink_status(landed))) std::abort();
    std::ifstream in(landed, std::ios::binary);
    std::string held((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || held != e.content) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const fs::path& scratch = zentro::fuzz::ScratchDir::path();
  const fs::path archive = scratch / "input.cmp";
  const fs::path folder = scratch / "out";
  std::error_code ec;  // the last input's files; anything else there has already failed a run
  fs::remove(archive, ec);
  fs::remove_all(folder, ec);
  std::vector<ScriptEntry> entries;
  if (input.starts_with("PK")) {
    std::ofstream out(archive, std::ios::binary);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
    if (!out) std::abort();
  } else if (!buildZip(input, archive, entries)) {
    return 0;
  }
  fs::create_directory(folder);

  zentro::platform::ExpandLimits limits;
  limits.maxTotalBytes = kMaxBytes;
  limits.maxEntries = kMaxEntries;
  zentro::platform::ExpandResult result =
      zentro::platform::expandArchive(archive.string(), folder.string(), limits);

  if (result.ok) {
    checkExpanded(folder, entries);
  } else if (result.error.empty() || !fs::is_empty(folder)) {
    std::abort();
  }
  for (const auto& entry : fs::directory_iterator(scratch)) {
    if (entry.path() != archive && entry.path() != folder) std::abort();
  }
  return 0;
}
