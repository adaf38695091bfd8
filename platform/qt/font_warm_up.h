#pragma once
// The machine's font configuration (dozens of configuration files) is the largest single cost
// of the window's first paint, and loading it needs nothing from the toolkit. So it is loaded on
// a thread of its own from program start, while the toolkit starts up; the window waits for it
// before its first text is laid out, and then finds it loaded. The object is the window thread's;
// only its own thread runs beside it.

#include <atomic>
#include <thread>

namespace zentro::qt {

class FontWarmUp {
 public:
  // Starts loading; when no thread can be started, wait() loads the configuration itself.
  FontWarmUp();
  ~FontWarmUp();
  FontWarmUp(const FontWarmUp&) = delete;
  FontWarmUp& operator=(const FontWarmUp&) = delete;

  // Returns once the configuration has been loaded (or has failed to load).
  void wait();

 private:
  // Loads the configuration unless the other thread has begun to.
  void loadUnlessClaimed();

  std::atomic<bool> claimed_{false};
  std::thread thread_;
};

}  // namespace zentro::qt
