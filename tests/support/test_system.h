#pragma once
// The few system services the tests need beyond the product's own platform layer, with one
// implementation per system (test_system_posix.cpp, test_system_win.cpp): environment
// variables (also set for one test only), holding a file the way a running program holds it,
// a private user profile (application-data folder, temp folder, settings store, machine
// hive), and machine keys a test owns. Every text is UTF-8. Test thread only.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zentro::testing {

// Whether this is the Windows build, for the few checks whose subject only one system has.
#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// The value of an environment variable; nullopt when it is not set.
std::optional<std::string> getEnv(const std::string& name);
// Sets (or, with nullopt, removes) a variable for this process and the programs it starts.
void setEnv(const std::string& name, const std::optional<std::string>& value);

// The environment variables that name the user's temporary folder (Linux TMPDIR, Windows TMP
// and TEMP).
std::vector<std::string> tempFolderVariables();

// Sets environment variables for one test and puts the previous values back afterwards.
class ScopedEnv {
 public:
  ScopedEnv() = default;
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) setEnv(it->first, it->second);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // Sets (or, with nullopt, removes) a variable.
  void set(const std::string& name, const std::optional<std::string>& value) {
    saved_.emplace_back(name, getEnv(name));
    setEnv(name, value);
  }
  // Points the user's temporary folder at `folder`.
  void setTempFolder(const std::string& folder) {
    for (const std::string& name : tempFolderVariables()) set(name, folder);
  }
  void unset(const std::string& name) { set(name, std::nullopt); }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A folder on another file system than `path`, in which a test may make a folder of its own;
// nullopt when the machine offers none (Linux: /dev/shm when it is a file system of its own;
// Windows: drive S:, which tests/win32/volumes.sh maps to a file system of its own).
std::optional<std::string> otherFileSystem(const std::string& path);

// Makes `link` a symbolic link to the file or folder `target`; false where the system (or
// Wine) cannot.
bool makeLink(const std::string& target, const std::string& link);
// Makes a named pipe (FIFO) at `path`; false where pipes are no files (Windows).
bool makeNamedPipe(const std::string& path);

// The per-user settings store as the operating system keeps it, read and written past the program's own
// calls (Linux: the INI file $XDG_CONFIG_HOME/VMIZentro/<app>.ini; Windows: the user's key
// Software\VB and VBA Program Settings\<app>\<section>). nullopt when the value is missing.
std::optional<std::string> storedSetting(const std::string& app, const std::string& section,
                                         const std::string& key);
// Stores one value as another program would (Linux: an INI file holding just that value).
void writeStoredSetting(const std::string& app, const std::string& section,
                        const std::string& key, const std::string& value);

// Holds `path` open as a running program holds its own file, so that it can be read but
// neither replaced nor deleted: Linux an exclusive lock (flock), Windows an open that shares
// reading only.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  ~HeldFile() { release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool held() const { return handle_ != kNone; }
  void release();

 private:
  static constexpr long long kNone = -1;
  long long handle_ = kNone;
};

// A private user profile inside the folder `root` for one test: the roaming application-data
// folder (root/config), the temp folder (root/tmp), an empty settings store and a machine hive
// of the test's own (Linux: root/machine-hive.ini; Windows: the machine's hive, where only
// the keys and values the test names are removed afterwards). Everything returns to its
// previous state when the profile goes.
class ScopedUserProfile {
 public:
  explicit ScopedUserProfile(const std::string& root);
  ~ScopedUserProfile();
  ScopedUserProfile(const ScopedUserProfile&) = delete;
  ScopedUserProfile& operator=(const ScopedUserProfile&) = delete;

  // A machine key path that no other test uses, removed with the profile.
  std::string scratchMachineKey();
  // Removes the value now (when an earlier run left it) and again with the profile.
  void forgetMachineValue(const std::string& keyPath, const std::string& valueName);
  // Whether the font file `fileName` was loaded for the session; nullopt where the system
  // cannot tell for bytes that are no real font (Windows).
  std::optional<bool> sessionFontLoaded(const std::string& fileName) const;

 private:
  std::string root_;
  ScopedEnv env_;
  std::optional<std::string> savedAppData_;  // Windows: the shell-folder value it replaced
  unsigned long savedAppDataType_ = 0;
  std::vector<std::string> scratchKeys_;
  std::vector<std::pair<std::string, std::string>> forgottenValues_;
};

}  // namespace zentro::testing
