#include "platform/side_thread.h"

#include <pthread.h>
#include <sched.h>

#include <utility>

namespace zentro::platform {

// The scheduler queues a new thread on its creator's processor, where it can wait the better
// part of a scheduler tick for another processor to take it over while the creator goes on
// alone. So it is sent to the other processors at once. These threads live for milliseconds,
// so they keep that placement.
std::thread startBeside(std::function<void()> work) {
  std::thread thread(std::move(work));
  const int here = sched_getcpu();
  cpu_set_t others;
  if (here >= 0 && sched_getaffinity(0, sizeof others, &others) == 0) {
    CPU_CLR(here, &others);
    if (CPU_COUNT(&others) > 0) {
      pthread_setaffinity_np(thread.native_handle(), sizeof others, &others);
    }
  }
  return thread;
}

}  // namespace zentro::platform
