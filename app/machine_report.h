#pragma once
// The machine report: the IPv4 address sent with the second login check, the write probe
// in the deployment folder, and the eight-line memory/rights text sent with WriteLoginNotes.
// Window thread only (the deployment start). Never throw.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine_info.h"

namespace zentro {

namespace machine_report {
inline constexpr std::string_view kAvailablePageFile = "Available Page File = ";
inline constexpr std::string_view kAvailablePhysicalMemory = "Available Physical Memory = ";
inline constexpr std::string_view kAvailableVirtualMemory = "Available Virtual Memory = ";
inline constexpr std::string_view kMemoryLoad = "Memory Load = %";
inline constexpr std::string_view kTotalPageFile = "Total Page File = ";
inline constexpr std::string_view kTotalPhysicalMemory = "Total Physical Memory = ";
inline constexpr std::string_view kTotalVirtualMemory = "Total Virtual Memory = ";
inline constexpr std::string_view kHasAdminAccess = "Has admin access = ";
inline constexpr std::string_view kYes = "Yes";
inline constexpr std::string_view kNo = "No";
inline constexpr std::string_view kLineEnd = "\r\n";

// The write probe's folder (below the deployment folder) and file.
inline constexpr std::string_view kProbeFolder = "CVTest";
inline constexpr std::string_view kProbeFile = "CVTest.dat";
// updateCheckAnswer when the update check runs (the Yes of a message box); only then probe.
inline constexpr int kUpdateCheckRuns = 6;
}  // namespace machine_report

// Dotted-decimal text of an IPv4 address held in host order (first number in the top byte).
std::string ipv4Text(std::uint32_t address);

// The address the report sends from an address table: the highest one (the last row of the
// ascending table), loopback included. "" for an empty or unreadable (nullopt) table.
std::string selectIpAddress(const std::optional<std::vector<std::uint32_t>>& table);

// selectIpAddress over the machine's own address table.
std::string GetIpAddresses();

// Whether the user can write in the deployment folder. True without probing when
// updateCheckAnswer is not 6. Otherwise probes commonFolder/CVTest/CVTest.dat: creates the
// folder and the file, then deletes both; false at the first refusal (and for an empty
// commonFolder). A CVTest folder/file left by an interrupted earlier probe is removed first,
// and a folder made for a refused file is removed again.
bool HasAdminAccess(int updateCheckAnswer, const std::string& commonFolder);

// The eight report lines, each ended by CR LF, figures as signed 32-bit decimals.
// With no memory status (nullopt) every figure is written as 0.
std::string buildMachineReport(const std::optional<platform::MemoryStatus>& memory,
                               bool hasAdminAccess);

}  // namespace zentro
