// Machine facts from Windows: GetIpAddrTable (sorted), GlobalMemoryStatus, GetVersion.
#include "platform/machine_info.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <algorithm>
#include <limits>

namespace zentro::platform {
namespace {

// A 64-bit process gets full-width figures; the report's fields are the 32-bit ones a 32-bit
// program reads, where Windows caps what does not fit at all bits set.
std::uint32_t field32(SIZE_T value) {
  return value > std::numeric_limits<std::uint32_t>::max()
             ? std::numeric_limits<std::uint32_t>::max()
             : static_cast<std::uint32_t>(value);
}

// dwAddr holds the four bytes in network order; the first dotted number goes to the top byte.
std::uint32_t hostOrder(DWORD networkOrder) {
  const auto* b = reinterpret_cast<const unsigned char*>(&networkOrder);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
         std::uint32_t{b[3]};
}

}  // namespace

std::optional<std::vector<std::uint32_t>> ipv4AddressTable() {
  ULONG size = 0;
  // Ask for the size first; the table can grow between the calls, so retry a few times.
  std::vector<unsigned char> buffer;
  DWORD rc = GetIpAddrTable(nullptr, &size, TRUE);
  for (int attempt = 0; attempt < 4 && rc == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
    buffer.assign(size, 0);
    rc = GetIpAddrTable(reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data()), &size, TRUE);
  }
  if (rc != NO_ERROR || buffer.size() < sizeof(DWORD)) return std::nullopt;
  const auto* table = reinterpret_cast<const MIB_IPADDRTABLE*>(buffer.data());
  std::vector<std::uint32_t> out;
  out.reserve(table->dwNumEntries);
  for (DWORD i = 0; i < table->dwNumEntries; ++i) out.push_back(hostOrder(table->table[i].dwAddr));
  // Windows sorts by the address as a number in network order; make it ascending by the
  // dotted form, the order the report relies on.
  std::sort(out.begin(), out.end());
  return out;
}

std::optional<MemoryStatus> memoryStatus() {
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  if (status.dwTotalPhys == 0) return std::nullopt;
  MemoryStatus s;
  s.memoryLoad = status.dwMemoryLoad;
  s.totalPhys = field32(status.dwTotalPhys);
  s.availPhys = field32(status.dwAvailPhys);
  s.totalPageFile = field32(status.dwTotalPageFile);
  s.availPageFile = field32(status.dwAvailPageFile);
  s.totalVirtual = field32(status.dwTotalVirtual);
  s.availVirtual = field32(status.dwAvailVirtual);
  return s;
}

std::uint32_t osVersionWord() {
  // Deprecated in the headers, but its word is exactly what the fonts-key choice reads.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return static_cast<std::uint32_t>(GetVersion());
#pragma GCC diagnostic pop
}

}  // namespace zentro::platform
