// The reference-service fixture in both homes: everything travels in the control text, and
// only its way (control::send) differs.
#include "tests/support/ref_service_fixture.h"

#include <algorithm>
#include <stdexcept>

#include "tests/support/ref_service_wire.h"

namespace zentro::testing {

ScopedRefService::~ScopedRefService() {
  try {
    verify();
    if (!session_.empty()) control::send("stop", session_, {});
  } catch (const std::exception& e) {  // a fault of the test support: no endpoint, bad records
    ADD_FAILURE() << e.what();
  }
}

void ScopedRefService::start(const refservice::World& world,
                             refservice::RefServiceOptions options) {
  control::Fields in;
  in.put(world, options);
  control::send("start", "", in).take(session_, base_, servers_);
}

std::string ScopedRefService::serverUrl(const std::string& name) const {
  const auto it = servers_.find(name);
  return it == servers_.end() ? std::string() : it->second;
}

void ScopedRefService::expectCall(const std::string& progId, const std::string& member, int times) {
  expected_.push_back(Expectation{progId, member, times});
}

void ScopedRefService::verify() const {
  if (expected_.empty()) return;
  const auto received = calls();
  for (const auto& e : expected_) {
    const auto seen = std::ranges::count_if(
        received, [&](const auto& c) { return c.progId == e.progId && c.member == e.member; });
    if (seen < e.times) {
      ADD_FAILURE() << "the reference service expected " << e.times << " call(s) of " << e.progId
                    << "." << e.member << " but received " << seen;
    }
  }
}

int ScopedRefService::callCount(const std::string& member) const {
  return int(std::ranges::count_if(calls(), [&](const auto& c) { return c.member == member; }));
}

template <class R, class... A>
R ScopedRefService::ask(const std::string& command, const A&... arguments) const {
  if (session_.empty()) throw std::runtime_error("the reference service was not started");
  control::Fields in;
  in.put(arguments...);
  control::Fields out = control::send(command, session_, in);
  if constexpr (!std::is_void_v<R>) return out.take<R>();
}

std::vector<refservice::CallRecord> ScopedRefService::calls() const {
  return ask<std::vector<refservice::CallRecord>>("calls");
}
std::vector<refservice::NoteRecord> ScopedRefService::notes() const {
  return ask<std::vector<refservice::NoteRecord>>("notes");
}
std::vector<refservice::DownloadRecord> ScopedRefService::downloads() const {
  return ask<std::vector<refservice::DownloadRecord>>("downloads");
}
std::string ScopedRefService::lastTokenOf(const std::string& filerCode,
                                          const std::string& login) const {
  return ask<std::string>("token", filerCode, login);
}
void ScopedRefService::setMemberFault(const std::string& listener, const std::string& member,
                                      const refservice::Fault& fault) {
  ask("member-fault", listener, member, fault);
}

}  // namespace zentro::testing
