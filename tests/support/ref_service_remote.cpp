// The reference-service fixture of the Windows test programs: the service runs on Linux,
// started per test through the control endpoint of zentro-refservice-control, whose port
// scripts/test-windows.sh passes in ZENTRO_REFSERVICE_CONTROL. Folders travel as Linux paths
// (Wine maps the Linux root to drive Z:).
#include <cstdlib>
#include <map>
#include <stdexcept>

#include "tests/support/loopback_http.h"
#include "tests/support/ref_service_fixture.h"
#include "tests/support/ref_service_wire.h"
#include "tests/support/test_system.h"

namespace zentro::testing {
namespace {

using control::Fields;

constexpr char kControlVariable[] = "ZENTRO_REFSERVICE_CONTROL";
constexpr std::chrono::seconds kControlTimeout{60};

// "Z:\a\b" or "Z:/a/b" -> "/a/b"; other paths cannot be reached from Linux and go as they are.
std::string linuxPath(std::string path) {
  if (path.size() >= 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') path.erase(0, 2);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

void defaultOptionsOnly(const refservice::RefServiceOptions& options) {
  if (options.https || options.basePort != 0 || !options.logFolder.empty()) {
    throw std::runtime_error("the control endpoint starts services with the default options only");
  }
}

}  // namespace

class ScopedRefService::Backend {
 public:
  // One control request; throws std::runtime_error when the endpoint is missing or refuses.
  template <class... A>
  Fields call(const std::string& command, const A&... args) const {
    const auto port = getEnv(kControlVariable);
    if (!port || std::atoi(port->c_str()) <= 0) {
      throw std::runtime_error(std::string(kControlVariable) +
                               " names no control endpoint: run these tests through "
                               "scripts/test-windows.sh");
    }
    Fields request;
    request.put(args...);
    const HttpAnswer answer = httpRequest(std::atoi(port->c_str()), "POST", "/" + command,
                                          request.text(), kControlTimeout);
    if (answer.status != 200 || !answer.complete) {
      throw std::runtime_error("the reference service's control endpoint answered " +
                               std::to_string(answer.status) + " to " + command + ": " +
                               answer.body);
    }
    return Fields(answer.body);
  }
  // A member of the started service; its result.
  template <class R = void, class... A>
  R member(const std::string& command, const A&... args) const {
    if (session.empty()) throw std::runtime_error("the reference service was not started");
    Fields answer = call(command, session, args...);
    if constexpr (!std::is_void_v<R>) return answer.take<R>();
  }
  void started(Fields answer) { answer.take(session, base, servers); }

  std::string session;
  std::string base;
  std::map<std::string, std::string> servers;
};

ScopedRefService::ScopedRefService() : backend_(std::make_unique<Backend>()) {}

ScopedRefService::~ScopedRefService() {
  try {
    verify();
    if (!backend_->session.empty()) backend_->member("stop");
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
}

void ScopedRefService::start(const refservice::World& world, refservice::RefServiceOptions options) {
  defaultOptionsOnly(options);
  backend_->started(backend_->call("start", "world", world));
}

void ScopedRefService::startFromFolder(const std::string& worldDir, const std::string& demoApp,
                                       refservice::RefServiceOptions options) {
  defaultOptionsOnly(options);
  backend_->started(backend_->call("start", "folder", linuxPath(worldDir), linuxPath(demoApp)));
}

std::string ScopedRefService::baseUrl() const { return backend_->base; }
std::string ScopedRefService::serverUrl(const std::string& name) const {
  auto it = backend_->servers.find(name);
  return it == backend_->servers.end() ? std::string() : it->second;
}
std::vector<refservice::CallRecord> ScopedRefService::calls() const {
  return backend_->member<std::vector<refservice::CallRecord>>("calls");
}
std::vector<refservice::NoteRecord> ScopedRefService::notes() const {
  return backend_->member<std::vector<refservice::NoteRecord>>("notes");
}
std::vector<refservice::DownloadRecord> ScopedRefService::downloads() const {
  return backend_->member<std::vector<refservice::DownloadRecord>>("downloads");
}
std::string ScopedRefService::lastTokenOf(const std::string& filerCode,
                                          const std::string& login) const {
  return backend_->member<std::string>("token", filerCode, login);
}
bool ScopedRefService::setFile(long groupId, const std::string& fileName,
                               const std::string& content,
                               const std::optional<std::string>& version) {
  return backend_->member<bool>("set-file", groupId, fileName, content, version);
}
bool ScopedRefService::setLastUpdate(long groupId, const std::string& text) {
  return backend_->member<bool>("last-update", groupId, text);
}
void ScopedRefService::setMemberFault(const std::string& listener, const std::string& member,
                                      const refservice::Fault& fault) {
  backend_->member("member-fault", listener, member, fault);
}
void ScopedRefService::setFileFault(long groupId, const std::string& fileName,
                                    const refservice::Fault& fault) {
  backend_->member("file-fault", groupId, fileName, fault);
}
void ScopedRefService::clearFaults() { backend_->member("clear-faults"); }

}  // namespace zentro::testing
