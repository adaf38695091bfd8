// frmLogin: the cache refresh button, and the forced folder delete behind it.
#include "app/cache_refresh.h"

#include <filesystem>
#include <system_error>

#include "app/app_texts.h"
#include "app/form_login.h"
#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "platform/file_path.h"
#include "platform/paths.h"
#include "platform/run_log.h"

namespace zentro {
namespace fs = std::filesystem;
namespace {

// Deletes what can be deleted below `dir`; in-use files are left, so their folders stay too.
// Links (Windows: junctions and every other reparse point) are removed as themselves and never
// entered, so nothing outside the tree is touched.
void removeTree(const std::string& dir) {
  // Read-only folders must let their entries go.
  platform::allowRemovalIn(dir);
  std::error_code ec;
  for (fs::directory_iterator it(platform::pathFromUtf8(dir), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string p = platform::utf8FromPath(it->path());
    if (p.empty()) continue;  // a name with no UTF-8 form cannot be named again
    const platform::EntryKind kind = platform::entryKind(p);
    if (kind == platform::EntryKind::Folder) {
      removeTree(p);
      continue;
    }
    if (kind == platform::EntryKind::File && platform::fileInUse(p)) {
      logLine(LogLevel::Warning, "cache refresh: in use, not deleted: " + p);
      continue;
    }
    platform::removeEntry(p);
  }
  platform::removeEntry(dir);
}

}  // namespace

bool DeleteFolderTree(std::string path) {
  if (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  switch (platform::entryKind(path)) {
    case platform::EntryKind::Missing:
      return true;
    case platform::EntryKind::Folder:
      removeTree(path);
      break;
    case platform::EntryKind::Link:
      platform::removeEntry(path);
      break;
    case platform::EntryKind::File:
    case platform::EntryKind::Other:
      // Not a folder, so not the cache: left alone, and nothing of the cache is left either.
      return true;
  }
  return platform::entryKind(path) == platform::EntryKind::Missing;
}

void FrmLogin::cmdRefresh_Click() {
  if (view_.messageBox(texts::kRefreshQuestion, Buttons::OkCancel, Icon::None, std::string()) !=
      Answer::Ok) {
    return;
  }
  const std::string& product = state_->folders.productFolder;
  // Without a product folder the paths would point at the file system's root.
  if (product.empty()) return;
  const bool brokerOk = DeleteFolderTree(platform::joinPath(product, "BROKER"));
  const bool clientOk = DeleteFolderTree(platform::joinPath(product, "CLIENT"));
  logLine(brokerOk && clientOk ? LogLevel::Info : LogLevel::Warning,
          std::string("cache refresh ") + (brokerOk && clientOk ? "done" : "incomplete"));
  view_.messageBox(brokerOk && clientOk ? texts::kRefreshDone : texts::kRefreshFailed,
                   Buttons::Ok, Icon::None, std::string());
}

}  // namespace zentro
