// The reference-service fixture of the Linux test programs: the service runs in this process.
// Its members are reached through the control text all the same (ref_service_wire.h), so the
// Windows programs' way to the service is tried here too.
#include <functional>
#include <map>
#include <tuple>

#include "tests/support/ref_service_fixture.h"
#include "tests/support/ref_service_wire.h"

namespace zentro::testing {
namespace control {
namespace {

using refservice::RefService;
using Command = std::function<void(RefService&, Fields& in, Fields& out)>;

template <class>
struct Arguments;
template <class R, class... A>
struct Arguments<R (RefService::*)(A...)> {
  using type = std::tuple<std::decay_t<A>...>;
};
template <class R, class... A>
struct Arguments<R (RefService::*)(A...) const> : Arguments<R (RefService::*)(A...)> {};

// A member of the service: its arguments taken in order, its result put back.
template <class Member>
Command command(Member member) {
  return [member](RefService& s, Fields& in, Fields& out) {
    typename Arguments<Member>::type args;
    std::apply([&](auto&... a) { in.take(a...); }, args);
    const auto call = [&] {
      return std::apply([&](auto&... a) { return (s.*member)(a...); }, args);
    };
    if constexpr (std::is_void_v<decltype(call())>) {
      call();
    } else {
      out.put(call());
    }
  };
}

const std::map<std::string, Command> kCommands = {
    {"calls", command(&RefService::calls)},
    {"notes", command(&RefService::notes)},
    {"downloads", command(&RefService::downloads)},
    {"token", command(&RefService::lastTokenOf)},
    {"set-file", command(&RefService::setFile)},
    {"last-update", command(&RefService::setLastUpdate)},
    {"member-fault", command(&RefService::setMemberFault)},
    {"file-fault", command(&RefService::setFileFault)},
    {"clear-faults", command(&RefService::clearFaults)},
};

}  // namespace

Fields serve(RefService& service, const std::string& command, Fields& in) {
  const auto it = kCommands.find(command);
  if (it == kCommands.end()) throw WireError("unknown command \"" + command + "\"");
  Fields out;
  it->second(service, in, out);
  return out;
}

}  // namespace control

class ScopedRefService::Backend {
 public:
  refservice::RefService service;
};

ScopedRefService::ScopedRefService() : backend_(std::make_unique<Backend>()) {}

ScopedRefService::~ScopedRefService() {
  try {
    verify();
  } catch (const std::exception& e) {  // records that do not travel: a fault of the test support
    ADD_FAILURE() << e.what();
  }
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

control::Fields ScopedRefService::request(const std::string& command,
                                          const control::Fields& arguments) const {
  control::Fields in(arguments.text());
  return control::Fields(control::serve(backend_->service, command, in).text());
}

}  // namespace zentro::testing
