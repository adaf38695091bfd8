// The reference-service fixture of the Linux test programs: the service runs in this process.
#include "tests/support/ref_service_fixture.h"

namespace zentro::testing {

class ScopedRefService::Backend {
 public:
  refservice::RefService service;
};

ScopedRefService::ScopedRefService() : backend_(std::make_unique<Backend>()) {}

ScopedRefService::~ScopedRefService() {
  verify();
  backend_->service.stop();
}

void ScopedRefService::start(const refservice::World& world, refservice::RefServiceOptions options) {
  backend_->service.start(world, options);
}

void ScopedRefService::startFromFolder(const std::string& worldDir, const std::string& demoApp,
                                       refservice::RefServiceOptions options) {
  backend_->service.start(refservice::loadWorld(worldDir, refservice::WorldLoadOptions{demoApp}),
                          options);
}

refservice::RefService& ScopedRefService::service() { return backend_->service; }
std::string ScopedRefService::baseUrl() const { return backend_->service.baseUrl(); }
std::string ScopedRefService::serverUrl(const std::string& name) const {
  return backend_->service.serverUrl(name);
}
std::vector<refservice::CallRecord> ScopedRefService::calls() const {
  return backend_->service.calls();
}
std::vector<refservice::NoteRecord> ScopedRefService::notes() const {
  return backend_->service.notes();
}
std::vector<refservice::DownloadRecord> ScopedRefService::downloads() const {
  return backend_->service.downloads();
}
std::string ScopedRefService::lastTokenOf(const std::string& filerCode,
                                          const std::string& login) const {
  return backend_->service.lastTokenOf(filerCode, login);
}
bool ScopedRefService::setFile(long groupId, const std::string& fileName,
                               const std::string& content,
                               const std::optional<std::string>& version) {
  return backend_->service.setFile(groupId, fileName, content, version);
}
bool ScopedRefService::setLastUpdate(long groupId, const std::string& text) {
  return backend_->service.setLastUpdate(groupId, text);
}
void ScopedRefService::setMemberFault(const std::string& listener, const std::string& member,
                                      const refservice::Fault& fault) {
  backend_->service.setMemberFault(listener, member, fault);
}
void ScopedRefService::setFileFault(long groupId, const std::string& fileName,
                                    const refservice::Fault& fault) {
  backend_->service.setFileFault(groupId, fileName, fault);
}
void ScopedRefService::clearFaults() { backend_->service.clearFaults(); }

}  // namespace zentro::testing
