// What both homes of the reference-service fixture share: the expected calls, and the members
// reached through the control text.
#include "tests/support/ref_service_fixture.h"

#include "tests/support/ref_service_wire.h"

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

template <class R, class... A>
R ScopedRefService::ask(const std::string& command, const A&... arguments) const {
  control::Fields in;
  in.put(arguments...);
  control::Fields out = request(command, in);
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
bool ScopedRefService::setFile(long groupId, const std::string& fileName,
                               const std::string& content,
                               const std::optional<std::string>& version) {
  return ask<bool>("set-file", groupId, fileName, content, version);
}
bool ScopedRefService::setLastUpdate(long groupId, const std::string& text) {
  return ask<bool>("last-update", groupId, text);
}
void ScopedRefService::setMemberFault(const std::string& listener, const std::string& member,
                                      const refservice::Fault& fault) {
  ask("member-fault", listener, member, fault);
}
void ScopedRefService::setFileFault(long groupId, const std::string& fileName,
                                    const refservice::Fault& fault) {
  ask("file-fault", groupId, fileName, fault);
}
void ScopedRefService::clearFaults() { ask("clear-faults"); }

}  // namespace zentro::testing
