// The tests' system services on Windows (run under Wine, in the build's own prefix): the
// roaming folder is redirected through the user's shell-folder value, the temp folder through
// TMP and TEMP; the settings store and the machine keys a test names are removed around it.
#include "tests/support/test_system.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/file_path.h"
#include "platform/win32/text_convert_win.h"

namespace zentro::testing {
namespace {

constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kAppDataValue[] = L"AppData";
constexpr wchar_t kSettingsRoot[] = L"Software\\VB and VBA Program Settings\\";
constexpr char kScratchParent[] = "SOFTWARE\\VMIZentroTests";
// The launcher works in the 32-bit registry view; a test removes what it named in both.
constexpr REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

using platform::win32::fromWide;
using platform::win32::toWide;

// Runs `use` on `path` opened with `access` in each registry view where it exists.
template <class Use>
void inEachView(HKEY root, const std::wstring& path, REGSAM access, Use use) {
  for (REGSAM view : kViews) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, access | view, &key) != ERROR_SUCCESS) continue;
    use(key, view);
    RegCloseKey(key);
  }
}

void deleteTree(HKEY root, const std::wstring& path) {
  inEachView(root, path, KEY_ALL_ACCESS, [&](HKEY key, REGSAM view) {
    RegDeleteTreeW(key, nullptr);
    RegDeleteKeyExW(root, path.c_str(), view, 0);
  });
}

void deleteValue(const std::string& keyPath, const std::string& valueName) {
  inEachView(HKEY_LOCAL_MACHINE, toWide(keyPath), KEY_SET_VALUE,
             [&](HKEY key, REGSAM) { RegDeleteValueW(key, toWide(valueName).c_str()); });
}

// A string value of the user's key `path`, of a type `flags` allow; nullopt when missing.
std::optional<std::string> userString(const std::wstring& path, const std::wstring& name,
                                      DWORD flags, DWORD* type = nullptr) {
  std::wstring value(32768, L'\0');  // more than any value a test stores
  DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), flags, type, value.data(),
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return platform::win32::fromWideUntilNul(value);
}

// Stores a string value of `type`, the key `path` made when it is missing.
void setUserString(const std::wstring& path, const std::wstring& name,
                   const std::wstring& value, DWORD type = REG_SZ) {
  RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), type, value.c_str(),
                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring settingsKey(const std::string& app, const std::string& section) {
  return kSettingsRoot + toWide(app) + L"\\" + toWide(section);
}

}  // namespace

std::optional<std::string> getEnv(const std::string& name) {
  const wchar_t* v = _wgetenv(toWide(name).c_str());
  return v ? std::optional<std::string>(fromWide(v)) : std::nullopt;
}

void setEnv(const std::string& name, const std::optional<std::string>& value) {
  // Both the C library's copy (getenv) and the process environment (GetEnvironmentVariable,
  // child processes) change: _wputenv_s keeps them together.
  _wputenv_s(toWide(name).c_str(), value ? toWide(*value).c_str() : L"");
  SetEnvironmentVariableW(toWide(name).c_str(), value ? toWide(*value).c_str() : nullptr);
}

std::vector<std::string> tempFolderVariables() { return {"TMP", "TEMP"}; }

std::optional<std::string> otherFileSystem(const std::string& path) {
  // tests/win32/volumes.sh maps drive S: to a file system of its own around the tests that
  // need it (the ctest fixture zentro_volumes).
  if (path.empty() || std::toupper(static_cast<unsigned char>(path[0])) == 'S' ||
      GetDriveTypeW(L"S:\\") == DRIVE_NO_ROOT_DIR) {
    return std::nullopt;
  }
  return "S:\\";
}

bool makeLink(const std::string& target, const std::string& link) {
  constexpr DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  std::error_code ec;
  const bool folder = std::filesystem::is_directory(platform::pathFromUtf8(target), ec);
  const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | kUnprivileged;
  return CreateSymbolicLinkW(toWide(link).c_str(), toWide(target).c_str(), flags) != 0;
}

bool makeNamedPipe(const std::string&) { return false; }

std::optional<std::string> storedSetting(const std::string& app, const std::string& section,
                                         const std::string& key) {
  return userString(settingsKey(app, section), toWide(key), RRF_RT_REG_SZ);
}

void writeStoredSetting(const std::string& app, const std::string& section,
                        const std::string& key, const std::string& value) {
  setUserString(settingsKey(app, section), toWide(key), toWide(value));
}

HeldFile::HeldFile(const std::string& path) {
  // Others may read it, as they may read a running program's file, but neither write,
  // replace nor delete it.
  HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<long long>(h);
}

void HeldFile::release() {
  if (handle_ == kNone) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

ScopedUserProfile::ScopedUserProfile(const std::string& root) : root_(root) {
  namespace fs = std::filesystem;
  fs::create_directories(platform::pathFromUtf8(root + "\\config"));
  fs::create_directories(platform::pathFromUtf8(root + "\\tmp"));
  env_.setTempFolder(root + "\\tmp");
  const DWORD anyString = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
  savedAppData_ = userString(kShellFolders, kAppDataValue, anyString, &savedAppDataType_);
  setUserString(kShellFolders, kAppDataValue, toWide(root + "\\config"));
  deleteTree(HKEY_CURRENT_USER, kSettingsRoot + std::wstring(L"VMIZentro"));
}

ScopedUserProfile::~ScopedUserProfile() {
  deleteTree(HKEY_CURRENT_USER, kSettingsRoot + std::wstring(L"VMIZentro"));
  if (savedAppData_) {
    setUserString(kShellFolders, kAppDataValue, toWide(*savedAppData_), savedAppDataType_);
  }
  for (const auto& key : scratchKeys_) deleteTree(HKEY_LOCAL_MACHINE, toWide(key));
  for (const auto& [key, value] : forgottenValues_) deleteValue(key, value);
}

std::string ScopedUserProfile::scratchMachineKey() {
  scratchKeys_.push_back(std::string(kScratchParent) + "\\t" +
                         std::to_string(std::random_device()()));
  return scratchKeys_.back();
}

void ScopedUserProfile::forgetMachineValue(const std::string& keyPath,
                                           const std::string& valueName) {
  deleteValue(keyPath, valueName);
  forgottenValues_.emplace_back(keyPath, valueName);
}

std::optional<bool> ScopedUserProfile::sessionFontLoaded(const std::string&) const {
  return std::nullopt;
}

}  // namespace zentro::testing
