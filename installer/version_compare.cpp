#include "installer/version_compare.h"

#include <cstdio>

#include "installer/install_commands.h"
#include "installer/pe_version.h"

namespace zentro {
namespace {

// A version line is short; a longer first line is no version, and reading stops there.
constexpr std::size_t kMaxSideLine = 4096;
// One read takes in a whole ordinary version line.
constexpr std::size_t kSideBuffer = 256;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string withoutBlanks(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (!isBlank(c)) out.push_back(c);
  }
  return out;
}

std::string sideFileVersion(const std::string& path) {
  // C stdio with a buffer of our own: a walk reads thousands of these small files, and a
  // stream's construction (its locale) costs more than reading one.
  std::FILE* in =
      std::fopen((path + std::string(install_commands::kSideFileSuffix)).c_str(), "rb");
  if (!in) return {};
  char buffer[kSideBuffer];
  std::setvbuf(in, buffer, _IOFBF, sizeof buffer);
  std::string line;
  int c;
  while (line.size() <= kMaxSideLine && (c = std::getc(in)) != EOF && c != '\n') {
    line.push_back(static_cast<char>(c));
  }
  std::fclose(in);
  if (line.size() > kMaxSideLine) return {};
  return withoutBlanks(line);
}

}  // namespace

std::string GetFileVersion(const std::string& path) {
  if (std::optional<PeFileVersion> v = ReadPeFileVersion(path)) {
    return std::to_string((*v)[0]) + "." + std::to_string((*v)[1]) + "." +
           std::to_string((*v)[2]) + "." + std::to_string((*v)[3]);
  }
  return sideFileVersion(path);
}

std::optional<std::array<std::uint32_t, 4>> ParseVersion(std::string_view text) {
  std::array<std::uint32_t, 4> parts{0, 0, 0, 0};
  std::size_t count = 0;
  bool inPart = false;
  std::uint64_t value = 0;
  auto endPart = [&]() -> bool {
    if (!inPart || count == parts.size()) return false;
    parts[count++] = static_cast<std::uint32_t>(value);
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
  // "", "1." and a fifth part are not versions.
  if (!endPart()) return std::nullopt;
  return parts;
}

bool IsNewerVersion(std::string_view installed, std::string_view offered, bool skipUpdates) {
  if (skipUpdates) return false;
  std::optional<std::array<std::uint32_t, 4>> offer = ParseVersion(offered);
  if (!offer) return false;
  std::array<std::uint32_t, 4> have =
      ParseVersion(installed).value_or(std::array<std::uint32_t, 4>{0, 0, 0, 0});
  return *offer > have;
}

}  // namespace zentro
