// frmLogin: the cache refresh button, and the forced folder delete behind it.
#include "app/cache_refresh.h"

#include <filesystem>
#include <system_error>

#include "app/app_texts.h"
#include "app/form_login.h"
#include "platform/run_log.h"
#include "platform/file_lock.h"
#include "platform/paths.h"

namespace zentro {
namespace fs = std::filesystem;
namespace {

// Deletes what can be deleted below `dir`; in-use files are left, so their folders stay too.
void RemoveTree(const fs::path& dir) {
  std::error_code ec;
  // Give the owner write rights first so read-only folders can be emptied.
  fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path p = it->path();
    const auto status = fs::symlink_status(p, ec);
    if (fs::is_directory(status)) {
      RemoveTree(p);
    } else if (fs::is_regular_file(status) && platform::fileInUse(p.string())) {
      logLine(LogLevel::Warning, "cache refresh: in use, not deleted: " + p.string());
      continue;
    }
    fs::remove(p, ec);
  }
  fs::remove(dir, ec);
}

}  // namespace

bool DeleteFolderTree(std::string path) {
  if (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  std::error_code ec;
  const auto status = fs::symlink_status(path, ec);
  if (!fs::exists(status)) return true;
  if (fs::is_symlink(status) || !fs::is_directory(status)) {
    fs::remove(path, ec);
  } else {
    RemoveTree(path);
  }
  return !fs::exists(fs::symlink_status(path, ec));
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
