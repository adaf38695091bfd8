// Folder facts on Linux. The Windows folders have XDG stand-ins:
//   roaming application data -> $XDG_CONFIG_HOME (default ~/.config)
//   system folder            -> $XDG_DATA_HOME (default ~/.local/share) + /VMIZentro/System
//   Windows folder           -> $XDG_DATA_HOME + /VMIZentro/Windows (with Fonts below it)
#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/posix/paths_posix.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;

constexpr char kProductDataFolder[] = "VMIZentro";
constexpr char kSystemFolderName[] = "System";
constexpr char kWindowsFolderName[] = "Windows";
constexpr char kFontsFolderName[] = "Fonts";

std::string envValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string homeFolder() {
  std::string home = envValue("HOME");
  if (!home.empty()) return home;
  // Services started without a login shell may lack $HOME; the password database still knows it.
  if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir) return pw->pw_dir;
  return {};
}

// Creates `path` with its parents; true when it is a folder afterwards.
bool ensureFolder(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::create_directories(path, ec);
  return fs::is_directory(path, ec);
}

std::string productDataFolder(const char* leaf) {
  std::string data = posix::xdgFolder("XDG_DATA_HOME", ".local/share");
  if (data.empty()) return {};
  return joinPath(joinPath(data, kProductDataFolder), leaf);
}

std::string selfExecutable() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

}  // namespace

std::string posix::xdgFolder(const char* variable, const char* homeRelative) {
  std::string v = envValue(variable);
  if (!v.empty() && v.front() == '/') return v;
  std::string home = homeFolder();
  if (home.empty()) return {};
  return joinPath(home, homeRelative);
}

char pathSeparator() { return '/'; }

std::string joinPath(const std::string& a, const std::string& b) {
  std::string path;
  path.reserve(a.size() + 1 + b.size());
  return path.append(a).append(1, pathSeparator()).append(b);
}

std::string roamingAppDataFolder() {
  std::string folder = posix::xdgFolder("XDG_CONFIG_HOME", ".config");
  return ensureFolder(folder) ? folder : std::string();
}

std::string systemFolder() {
  std::string folder = productDataFolder(kSystemFolderName);
  return ensureFolder(folder) ? folder : std::string();
}

std::string windowsFolder() {
  std::string folder = productDataFolder(kWindowsFolderName);
  if (!ensureFolder(folder)) return {};
  // Font installs target windowsFolder/Fonts; have it ready like the real Windows folder.
  ensureFolder(joinPath(folder, kFontsFolderName));
  return folder;
}

std::string programFolder() {
  std::string exe = selfExecutable();
  if (exe.empty()) return {};
  return fs::path(exe).parent_path().string();
}

std::string programBaseName() {
  std::string exe = selfExecutable();
  if (exe.empty()) return {};
  return fs::path(exe).stem().string();
}

std::string tempPath() {
  std::string tmp = envValue("TMPDIR");
  if (tmp.empty()) tmp = "/tmp";
  while (tmp.size() > 1 && tmp.back() == '/') tmp.pop_back();
  return tmp;
}

std::string fullPathName(const std::string& path) {
  if (path.empty()) return {};
  std::error_code ec;
  fs::path full = fs::absolute(path, ec);
  if (ec) return {};
  return full.lexically_normal().string();
}

bool createFolder(const std::string& path) {
  if (path.empty()) return false;
  return ::mkdir(path.c_str(), 0777) == 0;
}

}  // namespace zentro::platform
