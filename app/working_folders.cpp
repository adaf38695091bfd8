#include "app/working_folders.h"

#include "platform/paths.h"

namespace zentro {

using platform::createFolder;
using platform::joinPath;

void InitFolders(bool onlyBase, bool useProfile, const std::string& loginType,
                 const std::string& deployFolder, WorkingFolders& f) {
  std::string root;
  if (useProfile) {
    std::string appData = platform::roamingAppDataFolder();
    if (appData.empty()) {
      root = platform::programFolder();
    } else {
      std::string company = joinPath(appData, "Velmora");
      createFolder(company);
      root = joinPath(company, "Velmora Zentro");
    }
  } else {
    root = platform::programFolder();
  }
  f.rootFolder = root;
  f.companyFolder = root;
  f.productFolder = root;
  createFolder(f.productFolder);
  f.tempFolder = joinPath(f.productFolder, "Temp");
  createFolder(f.tempFolder);
  if (onlyBase) return;

  std::string common = joinPath(f.productFolder, loginType);
  createFolder(common);
  common = joinPath(common, deployFolder);
  createFolder(common);
  f.commonFolder = common;
  f.brokerFolder = common;
  f.clientFolder = common;
  f.systemFolder = platform::systemFolder();
  f.windowsFolder = platform::windowsFolder();
  f.fontsFolder = joinPath(f.windowsFolder, "Fonts");
}

}  // namespace zentro
