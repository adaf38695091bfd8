#include "installer/install_downloaded.h"

#include <filesystem>
#include <system_error>

#include "platform/run_log.h"
#include "installer/download_handler.h"
#include "installer/install_file.h"
#include "installer/install_texts.h"
#include "installer/registry_values.h"
#include "platform/archive.h"
#include "platform/fonts.h"
#include "platform/machine_info.h"
#include "platform/paths.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;
namespace texts = install_texts;

constexpr std::uint32_t kNinetyFamilyBit = 0x80000000u;

// Results not examined: a font that cannot be registered or loaded stays unregistered
// without a message.
void registerFont(const InstallSession& session) {
  WriteRegistryValue(FontsKey(), std::string(texts::kFontValuePrefix) + session.currentFileName,
                     session.currentFileName);
  platform::addFontResource(session.targetPath);
  platform::installUserFont(session.targetPath);
  platform::broadcastFontChange();
}

}  // namespace

std::string FontsKey() {
  return std::string((platform::osVersionWord() & kNinetyFamilyBit) != 0 ? texts::kFontsKey9x
                                                                         : texts::kFontsKeyNt);
}

bool ExpandArchive(const std::string& archivePath, const std::string& folder) {
  const platform::ExpandResult result = platform::expandArchive(archivePath, folder);
  if (!result.ok) {
    logLine(LogLevel::Error, "archive " + archivePath + " did not expand: " + result.error);
  }
  std::error_code ec;
  fs::remove(archivePath, ec);
  return result.ok;
}

void InstallDownloadedFile(View& view, const WorkingFolders& folders, InstallSession& session) {
  const std::string downloaded = DownloadPath(folders.tempFolder, session.currentFileName, false);
  if (session.currentIsCompressed) {
    // A file of the same name left by an earlier run must not pass for this archive's content
    // when the archive does not expand.
    std::error_code ec;
    fs::remove(downloaded, ec);
    if (!ExpandArchive(DownloadPath(folders.tempFolder, session.currentFileName, true),
                       folders.tempFolder)) {
      session.downloadFailed = true;
    }
  }

  view.setBusy(true);
  view.repaint();
  InstallFile(downloaded, session.currentInstallType, session.targetPath, session.serverVersion,
              folders.commonFolder, session.updateBlocked);
  view.setBusy(false);
  view.repaint();

  if (session.currentIsFont) registerFont(session);
}

}  // namespace zentro
