#pragma once
// Facts about the machine for the machine report. Never throw.

#include <cstdint>
#include <optional>
#include <vector>

namespace zentro::platform {

// The IPv4 addresses of the machine's interfaces in ascending order, loopback included,
// each in host order (first dotted number in the top byte). nullopt when the table
// cannot be read.
std::optional<std::vector<std::uint32_t>> ipv4AddressTable();

// The eight figures of the memory status record, each as the platform's unsigned 32-bit
// field; a figure of 4 GiB or more is 0xFFFFFFFF (all bits set). Linux mapping: physical
// from /proc/meminfo MemTotal/MemAvailable, page file from CommitLimit and CommitLimit -
// Committed_AS, virtual from the address-space limit of the process (RLIMIT_AS, else the user
// address-space size) and what is left of it after VmSize.
struct MemoryStatus {
  std::uint32_t memoryLoad = 0;
  std::uint32_t totalPhys = 0;
  std::uint32_t availPhys = 0;
  std::uint32_t totalPageFile = 0;
  std::uint32_t availPageFile = 0;
  std::uint32_t totalVirtual = 0;
  std::uint32_t availVirtual = 0;
};
std::optional<MemoryStatus> memoryStatus();

// The operating system's version word (GetVersion); top bit set = the 9x family.
std::uint32_t osVersionWord();

}  // namespace zentro::platform
