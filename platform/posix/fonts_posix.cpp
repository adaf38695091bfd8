// Fonts on Linux through fontconfig.
//   until log-off  -> a symbolic link in $XDG_RUNTIME_DIR/vmizentro-fonts (which the session
//                     ends with), made known to fontconfig by a conf.d file naming that folder
//   permanent      -> a link (or copy) in the user font folder, $XDG_DATA_HOME/fonts
//   WM_FONTCHANGE  -> fc-cache -f on the user font folder
#include "platform/fonts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "platform/file_io.h"
#include "platform/posix/paths_posix.h"
#include "platform/posix/spawn_posix.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;

constexpr char kSessionFontFolder[] = "vmizentro-fonts";
constexpr char kFontconfigSnippet[] = "fontconfig/conf.d/60-vmizentro-session-fonts.conf";
constexpr char kCacheTool[] = "fc-cache";
constexpr const char* kFontExtensions[] = {".ttf", ".otf", ".ttc"};
constexpr std::size_t kMaxSnippetSize = 64 * 1024;

std::string envFolder(const char* variable) {
  const char* v = std::getenv(variable);
  return (v && v[0] == '/') ? std::string(v) : std::string();
}

std::string sessionFontFolder() {
  std::string runtime = envFolder("XDG_RUNTIME_DIR");
  if (!runtime.empty()) return runtime + "/" + kSessionFontFolder;
  std::error_code ec;
  fs::path tmp = fs::temp_directory_path(ec);
  if (ec) tmp = "/tmp";
  return (tmp / (std::string(kSessionFontFolder) + "-" + std::to_string(getuid()))).string();
}

bool looksLikeFont(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (std::find(std::begin(kFontExtensions), std::end(kFontExtensions), ext) ==
      std::end(kFontExtensions)) {
    return false;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Points folder/<file name> at `path`, replacing an older link of the same name atomically.
// Falls back to a copy where links are not possible. True when the font is in place.
bool placeFont(const std::string& path, const std::string& folder, bool preferLink) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  fs::path source = fs::absolute(path, ec);
  if (ec) return false;
  fs::path target = fs::path(folder) / source.filename();
  fs::path temp = fs::path(folder) / ("." + source.filename().string() + ".part");
  fs::remove(temp, ec);
  if (preferLink) {
    fs::create_symlink(source, temp, ec);
    if (!ec) {
      fs::rename(temp, target, ec);
      if (!ec) return true;
      fs::remove(temp, ec);
    }
  }
  ec.clear();
  fs::copy_file(source, temp, fs::copy_options::overwrite_existing, ec);
  if (ec) return false;
  fs::rename(temp, target, ec);
  if (ec) fs::remove(temp, ec);
  return !ec;
}

// fontconfig reads only the folders its configuration names; the snippet names the session
// folder. A missing folder is skipped by fontconfig, so the snippet may outlive the session.
std::string xmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

// The snippet names the session folder of this session. One written by an earlier session
// may name another folder (another runtime folder, another temporary folder); it is then
// rewritten, by a new file renamed over it, so fontconfig never reads half of one.
void ensureSessionFolderKnown(const std::string& folder) {
  std::string config = posix::xdgFolder("XDG_CONFIG_HOME", ".config");
  if (config.empty()) return;
  const fs::path snippet = fs::path(config) / kFontconfigSnippet;
  const std::string wanted =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n"
      "  <dir>" + xmlText(folder) + "</dir>\n</fontconfig>\n";
  if (readWholeFile(snippet.string(), kMaxSnippetSize) == wanted) return;
  std::error_code ec;
  fs::create_directories(snippet.parent_path(), ec);
  StagedFile staged(snippet.string());
  if (staged.write(wanted)) staged.commit();
}

}  // namespace

int addFontResource(const std::string& path) {
  if (!looksLikeFont(path)) return 0;
  std::string folder = sessionFontFolder();
  if (!placeFont(path, folder, true)) return 0;
  ensureSessionFolderKnown(folder);
  return 1;
}

std::string userFontFolder() {
  std::string data = posix::xdgFolder("XDG_DATA_HOME", ".local/share");
  return data.empty() ? std::string() : data + "/fonts";
}

bool installUserFont(const std::string& path) {
  if (!looksLikeFont(path)) return false;
  std::string folder = userFontFolder();
  return !folder.empty() && placeFont(path, folder, true);
}

void broadcastFontChange() {
  std::string tool = posix::findInPath(kCacheTool);
  std::string folder = userFontFolder();
  if (tool.empty() || folder.empty()) return;
  // Informational only, as the broadcast is: a failing cache refresh changes nothing here.
  int exitCode = 0;
  posix::spawnAndWait({tool, "-f", folder}, exitCode);
}

}  // namespace zentro::platform
