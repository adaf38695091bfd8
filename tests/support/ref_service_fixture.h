#pragma once
// The reference business-object service, in-process on loopback, for tests.
// ScopedRefService starts it (the demo world, or any world) on free ports and, when it goes
// out of scope, fails the running test for every expected call that never arrived.
// RefServiceTest is a GoogleTest fixture holding one, plus a fresh temporary folder.
// Test thread only; the service answers on its own threads.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/refservice/ref_service.h"
#include "tools/refservice/world.h"

namespace zentro::testing {

#if defined(ZENTRO_SOURCE_DIR) && defined(ZENTRO_BINARY_DIR)
// The demo world of the source tree and the demo application it delivers.
inline std::string demoWorldDir() { return ZENTRO_SOURCE_DIR "/demo"; }
inline std::string demoAppPath() { return ZENTRO_BINARY_DIR "/tools/zentro-demo-app"; }
#endif

// The demo world's logins, as demo/README.md documents them.
inline constexpr const char* kDemoFiler = "DEMO";
inline constexpr const char* kDemoAlice = "ALICE";
inline constexpr const char* kDemoAlicePassword = "alice-demo";
inline constexpr const char* kDemoBob = "BOB";
inline constexpr const char* kDemoBobPassword = "bob-demo";

class ScopedRefService {
 public:
  ScopedRefService() = default;
  // Verifies the expectations (ADD_FAILURE for each missing call), then stops the service.
  ~ScopedRefService();
  ScopedRefService(const ScopedRefService&) = delete;
  ScopedRefService& operator=(const ScopedRefService&) = delete;

  // Starts on free loopback ports (unless the world fixes them). Throws on failure.
  void start(const refservice::World& world, refservice::RefServiceOptions options = {});
  // Loads `worldDir` with the demo application at `demoApp`, then starts.
  void startFromFolder(const std::string& worldDir, const std::string& demoApp,
                       refservice::RefServiceOptions options = {});

  // Registers a call that must arrive at least `times` times before the end of the test.
  void expectCall(const std::string& progId, const std::string& member, int times = 1);
  // Checks the expectations now; each missing call fails the test once. Idempotent.
  void verify();

  refservice::RefService& service() { return service_; }
  std::string baseUrl() const { return service_.baseUrl(); }
  std::string serverUrl(const std::string& name) const { return service_.serverUrl(name); }
  // Calls of `member` received so far (any ProgID).
  int callCount(const std::string& member) const;

 private:
  struct Expectation {
    std::string progId;
    std::string member;
    int times;
    bool reported = false;
  };
  refservice::RefService service_;
  std::vector<Expectation> expected_;
};

class RefServiceTest : public ::testing::Test {
 protected:
  void TearDown() override { ref.verify(); }

  TempDir temp;
  ScopedRefService ref;
};

}  // namespace zentro::testing
