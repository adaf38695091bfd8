// The reference services of the Linux test programs, in this process: the fixture's and, in
// zentro-refservice-control, those of the Windows test programs. Requests and results go
// through the control text all the same, so the Windows programs' way is tried here too.
#include <map>
#include <memory>
#include <mutex>

#include "tests/support/ref_service_fixture.h"
#include "tests/support/ref_service_wire.h"

namespace zentro::testing {
namespace {

using control::Fields;
using control::WireError;
using refservice::RefService;

class Sessions {
 public:
  Fields handle(const std::string& command, const std::string& id, Fields& in) {
    std::lock_guard lock(mutex_);
    if (command == "start") return start(in);
    RefService& s = find(id);
    Fields out;
    if (command == "stop") {
      sessions_.erase(id);
    } else if (command == "calls") {
      out.put(s.calls());
    } else if (command == "notes") {
      out.put(s.notes());
    } else if (command == "downloads") {
      out.put(s.downloads());
    } else if (command == "token") {
      const auto filerCode = in.take<std::string>();
      out.put(s.lastTokenOf(filerCode, in.take<std::string>()));
    } else if (command == "member-fault") {
      const auto listener = in.take<std::string>();
      const auto member = in.take<std::string>();
      s.setMemberFault(listener, member, in.take<refservice::Fault>());
    } else {
      throw WireError("unknown command \"" + command + "\"");
    }
    return out;
  }

  RefService& service(const std::string& id) {
    std::lock_guard lock(mutex_);
    return find(id);
  }

 private:
  Fields start(Fields& in) {
    const auto world = in.take<refservice::World>();
    const auto options = in.take<refservice::RefServiceOptions>();
    auto service = std::make_unique<RefService>();
    service->start(world, options);
    std::map<std::string, std::string> servers;
    for (const auto& s : world.servers) servers[s.name] = service->serverUrl(s.name);
    const std::string id = std::to_string(++lastId_);
    Fields out;
    out.put(id, service->baseUrl(), servers);
    sessions_[id] = std::move(service);
    return out;
  }

  RefService& find(const std::string& id) {
    const auto it = sessions_.find(id);
    if (it == sessions_.end()) throw WireError("no session \"" + id + "\"");
    return *it->second;
  }

  std::mutex mutex_;
  long lastId_ = 0;
  std::map<std::string, std::unique_ptr<RefService>> sessions_;
};

Sessions& sessions() {
  static Sessions all;
  return all;
}

}  // namespace

Fields control::send(const std::string& command, const std::string& session, const Fields& in) {
  Fields arguments(in.text());
  return Fields(sessions().handle(command, session, arguments).text());
}

refservice::RefService& ScopedRefService::service() { return sessions().service(session_); }

void ScopedRefService::startFromFolder(const std::string& worldDir, const std::string& demoApp,
                                       refservice::RefServiceOptions options) {
  start(refservice::loadWorld(worldDir, refservice::WorldLoadOptions{demoApp}), options);
}

}  // namespace zentro::testing
