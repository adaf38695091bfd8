// Machine facts on Linux: interface addresses from getifaddrs, memory figures from /proc.
#include "platform/machine_info.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace zentro::platform {
namespace {

// The user-mode address space of a process when no RLIMIT_AS is set: 47 bits of virtual
// address on x86-64 (four-level paging), the common 48 bits on other 64-bit systems.
#if defined(__x86_64__)
constexpr std::uint64_t kUserAddressSpace = std::uint64_t{1} << 47;
#elif UINTPTR_MAX > 0xFFFFFFFFu
constexpr std::uint64_t kUserAddressSpace = std::uint64_t{1} << 48;
#else
constexpr std::uint64_t kUserAddressSpace = std::uint64_t{3} << 30;
#endif

constexpr std::uint64_t kKiB = 1024;

// "Name:   value kB" lines of a /proc file, values in bytes. Empty when unreadable.
std::map<std::string, std::uint64_t> readKibFigures(const char* path) {
  std::map<std::string, std::uint64_t> figures;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::istringstream rest(line.substr(colon + 1));
    std::uint64_t value = 0;
    std::string unit;
    if (!(rest >> value)) continue;
    rest >> unit;
    figures[line.substr(0, colon)] = unit == "kB" ? value * kKiB : value;
  }
  return figures;
}

std::uint64_t figure(const std::map<std::string, std::uint64_t>& figures, const char* name) {
  auto it = figures.find(name);
  return it == figures.end() ? 0 : it->second;
}

// The record's fields are 32-bit. A figure that does not fit is written with all bits set, as
// the 32-bit record reports it on a machine with more memory; its low bits would say nothing
// (2^47 bytes of address space would read as 0).
std::uint32_t field32(std::uint64_t v) {
  return v > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(v);
}

std::uint64_t addressSpaceLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    return limit.rlim_cur;
  }
  return kUserAddressSpace;
}

}  // namespace

std::optional<std::vector<std::uint32_t>> ipv4AddressTable() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return std::nullopt;
  std::vector<std::uint32_t> table;
  for (const ifaddrs* it = list; it; it = it->ifa_next) {
    if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
    const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
    table.push_back(ntohl(in->sin_addr.s_addr));
  }
  freeifaddrs(list);
  std::sort(table.begin(), table.end());
  return table;
}

std::optional<MemoryStatus> memoryStatus() {
  auto mem = readKibFigures("/proc/meminfo");
  std::uint64_t total = figure(mem, "MemTotal");
  if (total == 0) return std::nullopt;
  std::uint64_t avail = mem.count("MemAvailable") ? figure(mem, "MemAvailable")
                                                  : figure(mem, "MemFree");
  avail = std::min(avail, total);
  std::uint64_t commitLimit = figure(mem, "CommitLimit");
  std::uint64_t committed = figure(mem, "Committed_AS");

  std::uint64_t virtualTotal = addressSpaceLimit();
  std::uint64_t virtualUsed = figure(readKibFigures("/proc/self/status"), "VmSize");

  MemoryStatus s;
  s.memoryLoad = field32(100 * (total - avail) / total);
  s.totalPhys = field32(total);
  s.availPhys = field32(avail);
  s.totalPageFile = field32(commitLimit);
  s.availPageFile = field32(commitLimit > committed ? commitLimit - committed : 0);
  s.totalVirtual = field32(virtualTotal);
  s.availVirtual = field32(virtualTotal > virtualUsed ? virtualTotal - virtualUsed : 0);
  return s;
}

std::uint32_t osVersionWord() {
  utsname name{};
  if (uname(&name) != 0) return 0;
  unsigned major = 0, minor = 0, patch = 0;
  std::sscanf(name.release, "%u.%u.%u", &major, &minor, &patch);
  // GetVersion layout: major in the low byte, minor in the next, build in the high word
  // with its top bit clear (the NT family).
  return (std::min(major, 0xFFu)) | (std::min(minor, 0xFFu) << 8) |
         ((patch & 0x7FFFu) << 16);
}

}  // namespace zentro::platform
