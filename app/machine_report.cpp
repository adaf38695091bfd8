#include "app/machine_report.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/file_path.h"
#include "platform/paths.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;
namespace mr = machine_report;

// The figures are rendered as the platform's signed 32-bit integer shows them, so 2^31 and
// above come out negative.
std::string signed32(std::uint32_t v) { return std::to_string(static_cast<std::int32_t>(v)); }

void appendLine(std::string& out, std::string_view label, std::string_view value) {
  out.append(label);
  out.append(value);
  out.append(mr::kLineEnd);
}

}  // namespace

std::string ipv4Text(std::uint32_t address) {
  return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
         std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}

std::string selectIpAddress(const std::optional<std::vector<std::uint32_t>>& table) {
  if (!table || table->empty()) return {};
  // The table is ascending, so this is its last row; taking the maximum keeps the choice
  // right even for a table delivered unsorted.
  return ipv4Text(*std::max_element(table->begin(), table->end()));
}

std::string GetIpAddresses() { return selectIpAddress(platform::ipv4AddressTable()); }

bool HasAdminAccess(int updateCheckAnswer, const std::string& commonFolder) {
  if (updateCheckAnswer != mr::kUpdateCheckRuns) return true;
  // Without a deployment folder the probe would land at the file-system root.
  if (commonFolder.empty()) return false;

  const fs::path folder =
      platform::pathFromUtf8(platform::joinPath(commonFolder, std::string(mr::kProbeFolder)));
  if (folder.empty()) return false;
  const fs::path file = folder / platform::pathFromUtf8(mr::kProbeFile);
  std::error_code ec;

  // A probe interrupted earlier leaves its file and folder; left there, they would make this
  // and every later probe answer "No" for a user who can write. Only the probe's own file
  // goes: a folder holding anything else stays, and the probe then fails as before.
  fs::remove(file, ec);
  fs::remove(folder, ec);

  if (!fs::create_directory(folder, ec) || ec) return false;
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
      fs::remove(folder, ec);  // leave no trace of a refused probe
      return false;
    }
  }
  if (!fs::remove(file, ec) || ec) return false;
  return fs::remove(folder, ec) && !ec;
}

std::string buildMachineReport(const std::optional<platform::MemoryStatus>& memory,
                               bool hasAdminAccess) {
  const platform::MemoryStatus m = memory.value_or(platform::MemoryStatus{});
  std::string out;
  appendLine(out, mr::kAvailablePageFile, signed32(m.availPageFile));
  appendLine(out, mr::kAvailablePhysicalMemory, signed32(m.availPhys));
  appendLine(out, mr::kAvailableVirtualMemory, signed32(m.availVirtual));
  appendLine(out, mr::kMemoryLoad, signed32(m.memoryLoad));
  appendLine(out, mr::kTotalPageFile, signed32(m.totalPageFile));
  appendLine(out, mr::kTotalPhysicalMemory, signed32(m.totalPhys));
  appendLine(out, mr::kTotalVirtualMemory, signed32(m.totalVirtual));
  appendLine(out, mr::kHasAdminAccess, hasAdminAccess ? mr::kYes : mr::kNo);
  return out;
}

}  // namespace zentro
