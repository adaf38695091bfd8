// The tests' system services on Linux: the XDG variables and TMPDIR point the platform layer
// at a private profile; the machine hive is a file of the test's own.
#include "tests/support/test_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace zentro::testing {
namespace {

std::string settingsFile(const std::string& app) {
  return getEnv("XDG_CONFIG_HOME").value_or("") + "/VMIZentro/" + app + ".ini";
}

// Each names a folder of the profile, but for the machine hive, a file.
constexpr const char* kProfileVariables[][2] = {
    {"HOME", "home"},          {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
    {"XDG_RUNTIME_DIR", "runtime"}, {"TMPDIR", "tmp"},
    {"ZENTRO_MACHINE_HIVE", "machine-hive.ini"}};

}  // namespace

std::optional<std::string> getEnv(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  return v ? std::optional<std::string>(v) : std::nullopt;
}

void setEnv(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
}

std::vector<std::string> tempFolderVariables() { return {"TMPDIR"}; }

std::optional<std::string> otherFileSystem(const std::string& path) {
  struct stat shm {}, here {};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(path.c_str(), &here) != 0 ||
      shm.st_dev == here.st_dev) {
    return std::nullopt;
  }
  return "/dev/shm";
}

bool makeLink(const std::string& target, const std::string& link) {
  std::error_code ec;
  std::filesystem::create_symlink(target, link, ec);
  return !ec;
}

bool makeNamedPipe(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

std::optional<std::string> storedSetting(const std::string& app, const std::string& section,
                                         const std::string& key) {
  std::ifstream in(settingsFile(app));
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inSection = line == "[" + section + "]";
    } else if (inSection && line.rfind(key + "=", 0) == 0) {
      return line.substr(key.size() + 1);
    }
  }
  return std::nullopt;
}

void writeStoredSetting(const std::string& app, const std::string& section,
                        const std::string& key, const std::string& value) {
  const std::string file = settingsFile(app);
  std::filesystem::create_directories(std::filesystem::path(file).parent_path());
  std::ofstream(file) << "[" << section << "]\n" << key << "=" << value << "\n";
}

HeldFile::HeldFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  handle_ = fd;
  if (fd >= 0 && ::flock(fd, LOCK_EX) != 0) release();
}

void HeldFile::release() {
  if (handle_ == kNone) return;
  ::close(static_cast<int>(handle_));
  handle_ = kNone;
}

ScopedUserProfile::ScopedUserProfile(const std::string& root) : root_(root) {
  for (const auto& [name, sub] : kProfileVariables) {
    const std::string path = root + "/" + sub;
    env_.set(name, path);
    if (!path.ends_with(".ini")) std::filesystem::create_directories(path);
  }
}

ScopedUserProfile::~ScopedUserProfile() = default;

std::string ScopedUserProfile::scratchMachineKey() {
  // The hive is the test's own file: any key is free in it.
  scratchKeys_.push_back("SOFTWARE\\VMIZentroTests\\t" + std::to_string(std::random_device()()));
  return scratchKeys_.back();
}

void ScopedUserProfile::forgetMachineValue(const std::string& keyPath,
                                           const std::string& valueName) {
  forgottenValues_.emplace_back(keyPath, valueName);  // nothing to remove in a fresh hive
}

std::optional<bool> ScopedUserProfile::sessionFontLoaded(const std::string& fileName) const {
  std::error_code ec;
  return std::filesystem::exists(root_ + "/runtime/vmizentro-fonts/" + fileName, ec);
}

}  // namespace zentro::testing
