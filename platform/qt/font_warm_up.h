#pragma once
// The machine's font configuration (dozens of configuration files) is the largest single cost
// of the window's first paint, and loading it needs nothing from the toolkit. So it is loaded on
// a thread of its own from program start, while the toolkit starts up; the window waits for it
// before its first text is laid out, and then finds it loaded. The object is the window thread's;
// only its own thread runs beside it.

#include <fontconfig/fontconfig.h>

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

// The machine's font configuration and font list, as the font library's own start loads them
// for matching and rendering. That start also reads every configuration template the library
// ships (about twenty files more, a third of its time) only to list their descriptions, which
// nothing here asks for; this load leaves them out. Null when anything is out of the ordinary:
// a debugging request, no configuration file, one that fails to load, or one naming no cache
// folder. The library's own start then knows its fall-backs and reports them. The caller owns
// the result (FcConfigDestroy).
FcConfig* loadFontConfiguration();

}  // namespace zentro::qt
