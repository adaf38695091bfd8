// Expanding an archive into an empty folder with small limits. The input is either a ZIP file
// as it is ("PK" first), or a script from which a valid ZIP is built first, so mutations reach
// the expansion rather than dying in the archive's checksums. Script: one entry per line,
//   name          an empty file          name/        a folder (also with =text)
//   name=text     a file holding text    name*K       a file of K KiB of zeros
// and a leading '!' stores the entry uncompressed.
// expandArchive never throws. On failure nothing may be left in the folder; on success only
// regular files and folders, no ".part" leftovers, within the byte limit, and (for a script)
// every file holds what its entry held. Nothing may ever appear beside the folder.
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzz/scratch_dir.h"
#include "platform/archive.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMaxBytes = 64 << 10;
constexpr std::uint64_t kMaxEntries = 64;
constexpr std::size_t kMaxZerosKiB = 128;

struct ScriptEntry {
  std::string name;
  std::string content;
  bool folder = false;
};

// Builds the ZIP a script describes. Entries libzip refuses (duplicates, empty names) are
// left out of the archive and of `entries`.
bool buildZip(std::string_view script, const fs::path& path, std::vector<ScriptEntry>& entries) {
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!z) return false;
  std::deque<std::string> contents;  // libzip reads them when the archive is closed
  std::size_t start = 0;
  while (start < script.size()) {
    std::size_t end = script.find('\n', start);
    if (end == std::string_view::npos) end = script.size();
    std::string_view line = script.substr(start, end - start);
    start = end + 1;
    bool stored = !line.empty() && line.front() == '!';
    if (stored) line.remove_prefix(1);
    ScriptEntry entry;
    if (std::size_t eq = line.find('='); eq != std::string_view::npos) {
      entry.name = line.substr(0, eq);
      entry.content = line.substr(eq + 1);
    } else if (std::size_t star = line.rfind('*');
               star != std::string_view::npos && star + 1 < line.size() &&
               line.find_first_not_of("0123456789", star + 1) == std::string_view::npos &&
               line.size() - star <= 5) {
      entry.name = line.substr(0, star);
      std::size_t kib = std::stoul(std::string(line.substr(star + 1)));
      entry.content.assign(std::min(kib, kMaxZerosKiB) * 1024, '\0');
    } else {
      entry.name = line;
    }
    entry.name.resize(std::min(entry.name.size(), entry.name.find('\0')));  // as libzip sees it
    if (entry.name.empty()) continue;
    // A name ending in a separator is a folder to the expansion, whatever it holds.
    if (entry.name.back() == '/' || entry.name.back() == '\\') entry.folder = true;
    zip_int64_t index = -1;
    if (entry.folder && entry.content.empty()) {
      index = zip_dir_add(z, entry.name.c_str(), ZIP_FL_ENC_UTF_8);
    } else {
      const std::string& data = contents.emplace_back(entry.content);
      zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
      index = src ? zip_file_add(z, entry.name.c_str(), src, ZIP_FL_ENC_UTF_8) : -1;
      if (index < 0 && src) zip_source_free(src);
      if (index >= 0 && stored) {
        zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
      }
    }
    if (index >= 0) entries.push_back(std::move(entry));
  }
  if (zip_close(z) != 0) {
    zip_discard(z);
    return false;
  }
  return true;
}

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

// True when `path` is where one of the script's entries lands.
bool isEntry(const fs::path& folder, const fs::path& path,
             const std::vector<ScriptEntry>& entries) {
  for (const ScriptEntry& e : entries) {
    if (landing(folder, e.name) == path) return true;
  }
  return false;
}

void checkExpanded(const fs::path& folder, const std::vector<ScriptEntry>& entries) {
  std::uint64_t total = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    fs::file_status st = it->symlink_status();
    if (fs::is_directory(st)) continue;
    if (!fs::is_regular_file(st)) std::abort();
    if (it->path().extension() == ".part" && !isEntry(folder, it->path(), entries)) std::abort();
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
  zentro::fuzz::ScratchDir::clear();
  const fs::path archive = scratch / "input.cmp";
  const fs::path folder = scratch / "out";
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
