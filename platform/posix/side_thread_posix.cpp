#include "platform/side_thread.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <memory>
#include <utility>

namespace zentro::platform {

// The scheduler queues a new thread on its creator's processor, where it can wait the better
// part of a scheduler tick for another processor to take it over while the creator goes on
// alone. So it is sent to the other processors at once. These threads live for milliseconds,
// so they keep that placement.
//
// The thread holds back its work until it has been placed: a thread that has already ended has
// no id left, and placing it then would place the caller instead.
std::thread startBeside(std::function<void()> work) {
  auto placed = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([placed, work = std::move(work)] {
    placed->wait(false);
    work();
  });
  const int here = sched_getcpu();
  cpu_set_t others;
  if (here >= 0 && sched_getaffinity(0, sizeof others, &others) == 0) {
    CPU_CLR(here, &others);
    if (CPU_COUNT(&others) > 0) {
      pthread_setaffinity_np(thread.native_handle(), sizeof others, &others);
    }
  }
  placed->store(true);
  placed->notify_one();
  return thread;
}

}  // namespace zentro::platform
