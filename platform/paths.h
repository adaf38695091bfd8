#pragma once
// Folder and path facts of the running system (the working-folder queries).
// Utility calls: they never throw; a failure gives "" or false.

#include <string>

namespace zentro::platform {

// The separator of this platform's paths ('/' on Linux, '\\' on Windows).
char pathSeparator();
// a + separator + b: plain concatenation with one separator, the one way the program builds
// paths (an empty part leaves an empty level).
std::string joinPath(const std::string& a, const std::string& b);

// The current user's roaming application-data folder, created when missing
// (Linux: $XDG_CONFIG_HOME, default ~/.config). "" when it cannot be had.
std::string roamingAppDataFolder();
// The system folder and the Windows folder (Linux stand-ins under $XDG_DATA_HOME/VMIZentro).
std::string systemFolder();
std::string windowsFolder();
// The folder the program file lies in, and the program file's name without its extension.
std::string programFolder();
std::string programBaseName();
// The user's temporary folder, with no trailing separator.
std::string tempPath();
// Full path of `path` (relative ones against the current folder); "" on failure.
std::string fullPathName(const std::string& path);

// Creates one folder level. False when it exists already or its parent is missing.
bool createFolder(const std::string& path);

}  // namespace zentro::platform
