#include "platform/qt/font_warm_up.h"

#include <fontconfig/fontconfig.h>
#include <pthread.h>
#include <sched.h>

#include <system_error>

namespace zentro::qt {

// The loaded configuration becomes the process's current one, which the toolkit's font
// database then uses. A failure to load is the toolkit's to meet, as without the warm-up.
void FontWarmUp::loadUnlessClaimed() {
  bool unclaimed = false;
  if (claimed_.compare_exchange_strong(unclaimed, true)) FcInit();
}

namespace {

// A new thread is queued on its creator's processor, where it can wait the better part of a
// scheduler tick for another processor to take it over, while the creator goes on alone. The
// warm-up is only worth its thread if it runs beside this one, so it is sent to the other
// processors at once. It lives for a few milliseconds, so it keeps that placement.
void sendToOtherProcessors(std::thread& thread) {
  const int here = sched_getcpu();
  cpu_set_t others;
  if (here < 0 || sched_getaffinity(0, sizeof others, &others) != 0) return;
  CPU_CLR(here, &others);
  if (CPU_COUNT(&others) > 0) {
    pthread_setaffinity_np(thread.native_handle(), sizeof others, &others);
  }
}

}  // namespace

FontWarmUp::FontWarmUp() {
  try {
    thread_ = std::thread([this] { loadUnlessClaimed(); });
    sendToOtherProcessors(thread_);
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
