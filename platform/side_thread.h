#pragma once
// Work that runs beside the window's thread during start-up (the font warm-up, the run-log
// pruning) only pays for its thread if it gets a processor of its own at once.

#include <functional>
#include <thread>

namespace zentro::platform {

// Starts `work` on a new thread, on a processor other than the caller's where the machine has
// one. Throws std::system_error when no thread can be started, as std::thread does.
std::thread startBeside(std::function<void()> work);

}  // namespace zentro::platform
