// Version resources of real Windows programs: the installer's GetFileVersion (its own PE
// reader) against what Windows' version library reports, for the tests' recorder program
// (5.0.21.1) and system DLLs.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "installer/pe_version.h"
#include "installer/version_compare.h"
#include "platform/file_path.h"
#include "platform/paths.h"
#include "platform/win32/text_convert_win.h"

namespace zentro {
namespace {

// "a.b.c.d" from GetFileVersionInfoW/VerQueryValueW, or "" without one.
std::string systemFileVersion(const std::string& path) {
  const std::wstring use = platform::pathFromUtf8(path).wstring();
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(use.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(use.c_str(), 0, size, block.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length)) return {};
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionLS));
}

// The recorder's version, and those of Windows' own (64-bit) libraries: SYSTEMDIR is the 32-bit
// folder, which a prefix without Wine's 32-bit half leaves empty.
TEST(VersionResourceTest, ProgramsAndSystemLibrariesReadTheSameBothWays) {
  const std::string program = platform::joinPath(platform::programFolder(), ZENTRO_RECORDER_EXE);
  EXPECT_EQ(GetFileVersion(program), "5.0.21.1");
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  std::vector<std::string> paths = {program};
  for (const char* dll : {"kernel32.dll", "user32.dll", "comctl32.dll", "winhttp.dll"}) {
    paths.push_back(platform::joinPath(platform::win32::fromWide(system), dll));
  }
  for (const std::string& path : paths) {
    const std::string expected = systemFileVersion(path);
    ASSERT_FALSE(expected.empty()) << path;
    EXPECT_EQ(GetFileVersion(path), expected) << path;
  }
}

}  // namespace
}  // namespace zentro
