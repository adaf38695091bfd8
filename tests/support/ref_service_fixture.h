#pragma once
// The reference business-object service on loopback, for tests.
// ScopedRefService starts it (the demo world, or any world) on free ports and, when it goes
// out of scope, fails the running test for every expected call that never arrived.
// RefServiceTest is a GoogleTest fixture holding one, plus a fresh temporary folder.
//
// One interface, two homes: the Linux test programs run the service in-process; the Windows
// test programs, which cannot host it, reach the Linux service through the control endpoint
// that scripts/test-windows.sh starts. In both, the world, what the service saw and the
// run-time changes travel in the control text (ref_service_wire.h), so both use it alike.
// Test thread only; the service answers on its own threads.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/refservice/call_log.h"
#include "tools/refservice/fault.h"
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

// A world that only serves files: login server "FILES" with deployment 1 of type "FILES",
// whose install group 1 holds one entry per file, named and served by its download location.
struct FileOnOffer {
  std::string location;
  std::string bytes;
  refservice::Fault fault = {};
};
inline refservice::World filesWorld(const std::vector<FileOnOffer>& files) {
  refservice::World w;
  w.servers.push_back(refservice::Server{"FILES", "127.0.0.1", 0, "/files", {}});
  refservice::Deployment d;
  d.id = d.installGroup.emplace(1);
  d.type = d.server = "FILES";
  w.deployments.push_back(d);
  auto& group = w.groups[1];
  group.id = 1;
  for (const FileOnOffer& f : files) {
    refservice::InstallEntry e;
    e.fileName = e.downloadLocation = f.location;
    e.content = std::make_shared<const std::string>(f.bytes);
    e.fault = f.fault;
    group.entries.push_back(std::move(e));
  }
  return w;
}

class ScopedRefService {
 public:
  ScopedRefService() = default;
  // Verifies the expectations (ADD_FAILURE for each missing call), then stops the service.
  ~ScopedRefService();
  ScopedRefService(const ScopedRefService&) = delete;
  ScopedRefService& operator=(const ScopedRefService&) = delete;

  // Starts on free loopback ports (unless the world or the options fix them). Throws on failure.
  void start(const refservice::World& world, refservice::RefServiceOptions options = {});

  // Registers a call that must arrive at least `times` times before the end of the test.
  void expectCall(const std::string& progId, const std::string& member, int times = 1);

  std::string baseUrl() const { return base_; }
  std::string serverUrl(const std::string& name) const;
  // What DownloadLocation follows for the files of filesWorld().
  std::string filesUrl() const { return serverUrl("FILES") + "/FILES/InstallFiles/"; }
  // Calls of `member` received so far (any ProgID).
  int callCount(const std::string& member) const;

  // What the service saw, and its run-time changes (as refservice::RefService's).
  std::vector<refservice::CallRecord> calls() const;
  std::vector<refservice::NoteRecord> notes() const;
  std::vector<refservice::DownloadRecord> downloads() const;
  std::string lastTokenOf(const std::string& filerCode, const std::string& login) const;
  void setMemberFault(const std::string& listener, const std::string& member,
                      const refservice::Fault& fault);

  // For the Linux-only suites (the Windows test programs do not define these, so a portable
  // test that reaches for them does not link there): the in-process service, and a start in
  // the world of `worldDir` with the demo application at `demoApp`.
  refservice::RefService& service();
  void startFromFolder(const std::string& worldDir, const std::string& demoApp,
                       refservice::RefServiceOptions options = {});

 private:
  // A member of the running service by name (the control text's command), its arguments
  // and its result in the control text. Throws std::runtime_error when it cannot be reached.
  template <class R = void, class... A>
  R ask(const std::string& command, const A&... arguments) const;
  // Fails the test once for each expected call that did not arrive.
  void verify() const;
  struct Expectation {
    std::string progId;
    std::string member;
    int times;
  };
  std::string session_;  // "" until started
  std::string base_;
  std::map<std::string, std::string> servers_;
  std::vector<Expectation> expected_;
};

class RefServiceTest : public ::testing::Test {
 protected:
  TempDir temp;
  ScopedRefService ref;
};

}  // namespace zentro::testing
