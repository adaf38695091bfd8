#include "platform/qt/font_warm_up.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

#include "platform/side_thread.h"

namespace zentro::qt {

// The loaded configuration becomes the process's current one, which the toolkit's font
// database then uses. A failure to load is the toolkit's to meet, as without the warm-up.
void FontWarmUp::loadUnlessClaimed() {
  bool unclaimed = false;
  if (claimed_.compare_exchange_strong(unclaimed, true)) FcInit();
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
