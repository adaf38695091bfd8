#include "platform/side_thread.h"

#include <utility>

namespace zentro::platform {

// Windows dispatches a new thread to an idle processor by itself.
std::thread startBeside(std::function<void()> work) { return std::thread(std::move(work)); }

}  // namespace zentro::platform
