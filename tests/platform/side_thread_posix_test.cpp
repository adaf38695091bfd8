// Side threads on Linux: placed beside the caller, never by moving the caller.
#include "platform/side_thread.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>

namespace zentro::platform {
namespace {

cpu_set_t callersProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  EXPECT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  return set;
}

// The caller keeps every processor it had, on a machine of many processors and on one of a
// single processor (where there is no other to go to), and the work runs in both.
TEST(SideThread, RunsTheWorkAndLeavesTheCallerWhereItWas) {
  const cpu_set_t all = callersProcessors();
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu(), &one);
  const cpu_set_t* const sets[] = {&all, &one};
  for (const cpu_set_t* allowed : sets) {
    ASSERT_EQ(sched_setaffinity(0, sizeof *allowed, allowed), 0);
    std::atomic<bool> ran{false};
    std::thread side = startBeside([&ran] { ran = true; });
    const cpu_set_t after = callersProcessors();
    side.join();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(CPU_EQUAL(&after, allowed));
  }
  ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
}

}  // namespace
}  // namespace zentro::platform
