#pragma once
// The command lines the installer builds for runtime installers and component registration,
// kept in one place so code and tests use the same texts.

#include <array>
#include <string_view>

namespace zentro::install_commands {

// Runtime installers recognised by name (install type 4): tested in this order against the
// upper-cased full path of the download; a name matches anywhere in it. The command line is
// the path (unquoted) followed by `arguments`. Exit code kRestartExitCode of one of these
// blocks the update.
struct RuntimeInstaller {
  std::string_view name;
  std::string_view arguments;
};

inline constexpr std::array<RuntimeInstaller, 3> kRuntimeInstallers{{
    {"MDAC_TYP.EXE", " /q:a /c:\"dasetup.exe /q /n\""},
    {"JET40SP3_COMP.EXE", ""},
    {"VBRUN60", " /Q"},
}};

// "Finished; a restart is needed" by installer convention.
inline constexpr int kRestartExitCode = 3010;

// The registration tool in commonFolder and its silent switch; the component path follows in
// double quotes.
inline constexpr std::string_view kRegistrar = "regsvr32.exe";
inline constexpr std::string_view kRegistrarSilent = " /s ";

// The version side file written beside a type-5 target: target + suffix, one line.
inline constexpr std::string_view kSideFileSuffix = ".ver";
inline constexpr std::string_view kLineEnd = "\r\n";

}  // namespace zentro::install_commands
