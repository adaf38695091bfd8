#include "installer/version_compare.h"

#include <optional>

#include "installer/install_commands.h"
#include "installer/pe_version.h"
#include "platform/file_io.h"

namespace zentro {
namespace {

// A version line is short; a longer first line is no version.
constexpr std::size_t kMaxSideLine = 4096;
// A side file holds one line; a much larger file is no side file of ours.
constexpr std::size_t kMaxSideFile = 64 * 1024;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string withoutBlanks(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (!isBlank(c)) out.push_back(c);
  }
  return out;
}

// The version in a side file's text: its first line without blanks.
std::string sideFileVersion(const std::optional<std::string>& text) {
  if (!text) return {};
  const std::string_view line = std::string_view(*text).substr(0, text->find('\n'));
  if (line.size() > kMaxSideLine) return {};
  return withoutBlanks(line);
}

std::string versionText(const PeFileVersion& v) {
  return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
         std::to_string(v[3]);
}

std::string sideFileName(const std::string& file) {
  return file + std::string(install_commands::kSideFileSuffix);
}

}  // namespace

// The side file is read on every walk for every file without a version resource, so in one
// read; a FIFO planted at its name refuses it and never blocks the walk.
std::string GetFileVersion(const std::string& path) {
  if (const std::optional<PeFileVersion> v = readPeFileVersion(path)) return versionText(*v);
  return sideFileVersion(platform::readSmallFile(sideFileName(path), kMaxSideFile));
}

std::string GetFileVersion(const platform::OpenFolder& folder, const std::string& name) {
  if (const std::optional<PeFileVersion> v = readPeFileVersion(folder, name)) {
    return versionText(*v);
  }
  return sideFileVersion(folder.readSmallFile(sideFileName(name), kMaxSideFile));
}

std::optional<std::array<std::uint32_t, 4>> parseVersion(std::string_view text) {
  std::array<std::uint32_t, 4> parts{0, 0, 0, 0};
  std::size_t count = 0;
  bool inPart = false;
  std::uint64_t value = 0;
  // Parts after the fourth must be well formed but take no part in the comparison: a file
  // offered as 1.2.3.4.5 is version 1.2.3.4 and still gets installed where it is missing.
  auto endPart = [&]() -> bool {
    if (!inPart) return false;
    if (count < parts.size()) parts[count] = static_cast<std::uint32_t>(value);
    ++count;
    inPart = false;
    value = 0;
    return true;
  };
  for (char c : text) {
    if (isBlank(c)) continue;
    if (c == '.' || c == ',') {
      if (!endPart()) return std::nullopt;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > UINT32_MAX) return std::nullopt;
    inPart = true;
  }
  // "" and "1." are not versions.
  if (!endPart()) return std::nullopt;
  return parts;
}

bool IsNewerVersion(std::string_view installed, std::string_view offered, bool skipUpdates) {
  if (skipUpdates) return false;
  std::optional<std::array<std::uint32_t, 4>> offer = parseVersion(offered);
  if (!offer) return false;
  std::array<std::uint32_t, 4> have =
      parseVersion(installed).value_or(std::array<std::uint32_t, 4>{0, 0, 0, 0});
  return *offer > have;
}

}  // namespace zentro
