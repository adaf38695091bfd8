// What both homes of the reference-service fixture share: the expected calls.
#include "tests/support/ref_service_fixture.h"

namespace zentro::testing {

void ScopedRefService::expectCall(const std::string& progId, const std::string& member, int times) {
  expected_.push_back(Expectation{progId, member, times});
}

void ScopedRefService::verify() {
  if (expected_.empty()) return;
  const auto received = calls();
  for (auto& e : expected_) {
    if (e.reported) continue;
    int seen = 0;
    for (const auto& c : received)
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
  for (const auto& c : calls())
    if (c.member == member) ++n;
  return n;
}

}  // namespace zentro::testing
