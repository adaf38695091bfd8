#include "platform/qt/font_warm_up.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace zentro::qt {

FontWarmUp::FontWarmUp() {
  try {
    // The loaded configuration becomes the process's current one, which the toolkit's font
    // database then uses. A failure to load is the toolkit's to meet, as without the warm-up.
    thread_ = std::thread([] { FcInit(); });
  } catch (const std::system_error&) {
    // No thread: nothing is lost but the head start.
  }
}

FontWarmUp::~FontWarmUp() { wait(); }

void FontWarmUp::wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace zentro::qt
