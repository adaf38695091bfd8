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
  static Fields call(const std::string& target, const Fields& request) {
    const auto port = getEnv(kControlVariable);
    if (!port || std::atoi(port->c_str()) <= 0) {
      throw std::runtime_error(std::string(kControlVariable) +
                               " names no control endpoint: run these tests through "
                               "scripts/test-windows.sh");
    }
    const HttpAnswer answer = httpRequest(std::atoi(port->c_str()), "POST", target,
                                          request.text(), kControlTimeout);
    if (answer.status != 200 || !answer.complete) {
      throw std::runtime_error("the reference service's control endpoint answered " +
                               std::to_string(answer.status) + " to " + target + ": " +
                               answer.body);
    }
    return Fields(answer.body);
  }
  template <class... A>
  void start(const A&... arguments) {
    Fields request;
    request.put(arguments...);
    call("/start", request).take(session, base, servers);
  }

  std::string session;
  std::string base;
  std::map<std::string, std::string> servers;
};

ScopedRefService::ScopedRefService() : backend_(std::make_unique<Backend>()) {}

ScopedRefService::~ScopedRefService() {
  try {
    verify();
    if (!backend_->session.empty()) request("stop", Fields());
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
}

void ScopedRefService::start(const refservice::World& world, refservice::RefServiceOptions options) {
  defaultOptionsOnly(options);
  backend_->start("world", world);
}

void ScopedRefService::startFromFolder(const std::string& worldDir, const std::string& demoApp,
                                       refservice::RefServiceOptions options) {
  defaultOptionsOnly(options);
  backend_->start("folder", linuxPath(worldDir), linuxPath(demoApp));
}

std::string ScopedRefService::baseUrl() const { return backend_->base; }
std::string ScopedRefService::serverUrl(const std::string& name) const {
  auto it = backend_->servers.find(name);
  return it == backend_->servers.end() ? std::string() : it->second;
}

control::Fields ScopedRefService::request(const std::string& command,
                                          const control::Fields& arguments) const {
  if (backend_->session.empty()) throw std::runtime_error("the reference service was not started");
  return Backend::call("/" + command + "?session=" + backend_->session, arguments);
}

}  // namespace zentro::testing
