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

using control::Line;

constexpr char kControlVariable[] = "ZENTRO_REFSERVICE_CONTROL";
constexpr std::chrono::seconds kControlTimeout{60};

// "Z:\a\b" or "Z:/a/b" -> "/a/b"; other paths cannot be reached from Linux and go as they are.
std::string linuxPath(std::string path) {
  if (path.size() >= 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') path.erase(0, 2);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

Line faultFields(const refservice::Fault& f) {
  return {std::to_string(static_cast<int>(f.kind)), std::to_string(f.amount),
          std::to_string(f.remaining)};
}

}  // namespace

class ScopedRefService::Backend {
 public:
  // One control request; throws std::runtime_error when the endpoint is missing or refuses.
  std::vector<Line> call(const std::string& command, std::vector<Line> lines) const {
    const auto port = getEnv(kControlVariable);
    if (!port || std::atoi(port->c_str()) <= 0) {
      throw std::runtime_error(std::string(kControlVariable) +
                               " names no control endpoint: run these tests through "
                               "scripts/test-windows.sh");
    }
    const HttpAnswer answer = httpRequest(std::atoi(port->c_str()), "POST", "/" + command,
                                          control::encodeLines(lines), kControlTimeout);
    if (answer.status != 200 || !answer.complete) {
      throw std::runtime_error("the reference service's control endpoint answered " +
                               std::to_string(answer.status) + " to " + command + ": " +
                               answer.body);
    }
    return control::decodeLines(answer.body);
  }
  std::vector<Line> sessionCall(const std::string& command, Line fields) const {
    if (session.empty()) throw std::runtime_error("the reference service was not started");
    fields.insert(fields.begin(), session);
    return call(command, {std::move(fields)});
  }
  bool yes(const std::string& command, Line fields) const {
    const auto answer = sessionCall(command, std::move(fields));
    return !answer.empty() && !answer[0].empty() && answer[0][0] == "1";
  }
  control::Records records() const { return control::recordsFromLines(sessionCall("records", {})); }

  void started(const std::vector<Line>& answer) {
    for (const Line& line : answer) {
      if (line.size() == 2 && line[0] == "session") session = line[1];
      if (line.size() == 2 && line[0] == "base") base = line[1];
      if (line.size() == 3 && line[0] == "server") servers[line[1]] = line[2];
    }
  }

  std::string session;
  std::string base;
  std::map<std::string, std::string> servers;
};

ScopedRefService::ScopedRefService() : backend_(std::make_unique<Backend>()) {}

ScopedRefService::~ScopedRefService() {
  try {
    verify();
    if (!backend_->session.empty()) backend_->sessionCall("stop", {});
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
}

void ScopedRefService::start(const refservice::World& world, refservice::RefServiceOptions options) {
  if (options.https || options.basePort != 0 || !options.logFolder.empty()) {
    throw std::runtime_error("the control endpoint starts services with the default options only");
  }
  std::vector<Line> lines = control::worldLines(world);
  lines.insert(lines.begin(), Line{"world"});
  backend_->started(backend_->call("start", std::move(lines)));
}

void ScopedRefService::startFromFolder(const std::string& worldDir, const std::string& demoApp,
                                       refservice::RefServiceOptions options) {
  if (options.https || options.basePort != 0 || !options.logFolder.empty()) {
    throw std::runtime_error("the control endpoint starts services with the default options only");
  }
  backend_->started(backend_->call("start", {{"folder", linuxPath(worldDir), linuxPath(demoApp)}}));
}

std::string ScopedRefService::baseUrl() const { return backend_->base; }
std::string ScopedRefService::serverUrl(const std::string& name) const {
  auto it = backend_->servers.find(name);
  return it == backend_->servers.end() ? std::string() : it->second;
}
std::vector<refservice::CallRecord> ScopedRefService::calls() const {
  return backend_->records().calls;
}
std::vector<refservice::NoteRecord> ScopedRefService::notes() const {
  return backend_->records().notes;
}
std::vector<refservice::DownloadRecord> ScopedRefService::downloads() const {
  return backend_->records().downloads;
}
std::string ScopedRefService::lastTokenOf(const std::string& filerCode,
                                          const std::string& login) const {
  const auto answer = backend_->sessionCall("token", {filerCode, login});
  return answer.empty() || answer[0].empty() ? std::string() : answer[0][0];
}
bool ScopedRefService::setFile(long groupId, const std::string& fileName,
                               const std::string& content,
                               const std::optional<std::string>& version) {
  return backend_->yes("set-file", {std::to_string(groupId), fileName, content,
                                    version ? "=" + *version : std::string("-")});
}
bool ScopedRefService::setLastUpdate(long groupId, const std::string& text) {
  return backend_->yes("last-update", {std::to_string(groupId), text});
}
void ScopedRefService::setMemberFault(const std::string& listener, const std::string& member,
                                      const refservice::Fault& fault) {
  Line fields = {listener, member};
  for (auto& f : faultFields(fault)) fields.push_back(f);
  backend_->sessionCall("member-fault", std::move(fields));
}
void ScopedRefService::setFileFault(long groupId, const std::string& fileName,
                                    const refservice::Fault& fault) {
  Line fields = {std::to_string(groupId), fileName};
  for (auto& f : faultFields(fault)) fields.push_back(f);
  backend_->sessionCall("file-fault", std::move(fields));
}
void ScopedRefService::clearFaults() { backend_->sessionCall("clear-faults", {}); }

}  // namespace zentro::testing
