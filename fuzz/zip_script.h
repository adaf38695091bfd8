#pragma once
// ZIP archives built from a line script, for the archive fuzz target and its seeds. One entry
// per line:
//   name          an empty file          name/        a folder (also with =text)
//   name=text     a file holding text    name*K       a file of K KiB of zeros (at most 128)
// and a leading '!' stores the entry uncompressed.

#include <zip.h>

#include <algorithm>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zentro::fuzz {

constexpr std::size_t kMaxZerosKiB = 128;

struct ScriptEntry {
  std::string name;
  std::string content;
  bool folder = false;
};

// Builds the ZIP a script describes. Entries libzip refuses (duplicates, empty names) are
// left out of the archive and of `entries`.
inline bool buildZip(std::string_view script, const std::filesystem::path& path,
                     std::vector<ScriptEntry>& entries) {
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

}  // namespace zentro::fuzz
