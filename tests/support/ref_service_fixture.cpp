#include "tests/support/ref_service_fixture.h"

namespace zentro::testing {

ScopedRefService::~ScopedRefService() {
  verify();
  service_.stop();
}

void ScopedRefService::start(const refservice::World& world, refservice::RefServiceOptions options) {
  service_.start(world, options);
}

void ScopedRefService::startFromFolder(const std::string& worldDir, const std::string& demoApp,
                                       refservice::RefServiceOptions options) {
  service_.start(refservice::loadWorld(worldDir, refservice::WorldLoadOptions{demoApp}), options);
}

void ScopedRefService::expectCall(const std::string& progId, const std::string& member, int times) {
  expected_.push_back(Expectation{progId, member, times});
}

void ScopedRefService::verify() {
  const auto calls = service_.calls();
  for (auto& e : expected_) {
    if (e.reported) continue;
    int seen = 0;
    for (const auto& c : calls)
      if (c.progId == e.progId && c.member == e.member) ++seen;
    if (seen < e.times) {
      e.reported = true;
      ADD_FAILURE() << "the reference service expected " << e.times << " call(s) of " << e.progId
                    << "." << e.member << " but received " << seen;
    }
  }
}

int ScopedRefService::callCount(const std::string& member) const {
  int n = 0;
  for (const auto& c : service_.calls())
    if (c.member == member) ++n;
  return n;
}

}  // namespace zentro::testing
