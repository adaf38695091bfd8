#include "installer/install_downloaded.h"

#include "installer/download_handler.h"
#include "installer/install_file.h"
#include "installer/install_texts.h"
#include "installer/registry_values.h"
#include "platform/archive.h"
#include "platform/file_io.h"
#include "platform/fonts.h"
#include "platform/machine_info.h"
#include "platform/paths.h"
#include "platform/run_log.h"

namespace zentro {
namespace {

namespace texts = install_texts;

constexpr std::uint32_t kNinetyFamilyBit = 0x80000000u;

// Results not examined: a font that cannot be registered or loaded stays unregistered
// without a message.
void registerFont(const InstallSession& session) {
  WriteRegistryValue(fontsKey(), std::string(texts::kFontValuePrefix) + session.currentFileName,
                     session.currentFileName);
  platform::addFontResource(session.targetPath);
  platform::installUserFont(session.targetPath);
  platform::broadcastFontChange();
}

}  // namespace

std::string fontsKey() {
  return std::string((platform::osVersionWord() & kNinetyFamilyBit) != 0 ? texts::kFontsKey9x
                                                                         : texts::kFontsKeyNt);
}

bool ExpandArchive(const std::string& archivePath, const std::string& folder,
                   const std::string& fileName) {
  platform::ExpandResult result = platform::expandArchive(archivePath, folder);
  if (result.ok && !fileName.empty() && !result.holds(fileName)) {
    result.ok = false;
    result.error = "it does not hold " + fileName;
  }
  if (!result.ok) {
    logLine(LogLevel::Error, "archive " + archivePath + " did not expand: " + result.error);
  }
  platform::removeEntry(archivePath);
  return result.ok;
}

void InstallDownloadedFile(View& view, const WorkingFolders& folders, InstallSession& session) {
  std::string downloaded = downloadPath(folders.tempFolder, session.currentFileName, false);
  // The expansion replaces its files only once all of them are complete, so a file of that name
  // already in the temp folder (the installed file itself for a TEMPDIR entry) stays whole
  // until then. When the archive does not deliver the file, that older file must not pass for
  // its content: nothing is placed, as for a missing download.
  if (session.currentIsCompressed &&
      !ExpandArchive(downloadPath(folders.tempFolder, session.currentFileName, true),
                     folders.tempFolder, session.currentFileName)) {
    session.downloadFailed = true;
    downloaded.clear();
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
