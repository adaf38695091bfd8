#include "platform/qt/font_warm_up.h"

#include <cstdlib>
#include <system_error>

#include "platform/side_thread.h"

namespace zentro::qt {

namespace {

// Whether a configuration names a cache folder; without one, fonts would be scanned afresh.
bool namesCacheFolder(FcConfig* config) {
  FcStrList* folders = FcConfigGetCacheDirs(config);
  if (!folders) return false;
  const bool any = FcStrListNext(folders) != nullptr;
  FcStrListDone(folders);
  return any;
}

}  // namespace

FcConfig* loadFontConfiguration() {
  if (std::getenv("FC_DEBUG")) return nullptr;
  FcConfig* config = FcConfigCreate();
  if (!config) return nullptr;
  FcChar8* file = FcConfigGetFilename(config, nullptr);
  const bool loaded = file && FcConfigParseAndLoad(config, nullptr, FcTrue) &&
                      namesCacheFolder(config) && FcConfigBuildFonts(config);
  if (file) FcStrFree(file);
  if (loaded) return config;
  FcConfigDestroy(config);
  return nullptr;
}

// The loaded configuration becomes the process's current one, which the toolkit's font
// database then uses. A failure to load is the toolkit's to meet, as without the warm-up.
void FontWarmUp::loadUnlessClaimed() {
  bool unclaimed = false;
  if (!claimed_.compare_exchange_strong(unclaimed, true)) return;
  FcConfig* config = loadFontConfiguration();
  const bool current = config && FcConfigSetCurrent(config);
  if (config) FcConfigDestroy(config);  // the current configuration holds its own reference
  if (!current) FcInit();
}

FontWarmUp::FontWarmUp() {
  try {
    thread_ = platform::startBeside([this] { loadUnlessClaimed(); });
  } catch (const std::system_error&) {
    // No thread: the window's thread loads it when it waits.
  }
}

FontWarmUp::~FontWarmUp() { wait(); }

void FontWarmUp::wait() {
  // A thread that has not begun by now (the machine was busy) is not waited for: this thread
  // loads the configuration itself, and the other finds it claimed.
  loadUnlessClaimed();
  if (thread_.joinable()) thread_.join();
}

}  // namespace zentro::qt
