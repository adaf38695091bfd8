// zentro-refservice-control: the reference service for test programs that cannot host it (the
// Windows ones, under Wine). scripts/test-windows.sh starts it; each test's fixture starts a
// service of its own through it, in a world it sends, and asks it what the service saw.
//   zentro-refservice-control --ready-file FILE
// Listens on a free loopback port and writes that port into FILE once listening (whole, under
// another name first). Runs until SIGTERM or SIGINT.
//
// Requests: POST /<command>, the body its arguments in the control text
// (tests/support/ref_service_wire.h), the answer its result; 400 with the reason on failure.
// A session is one running service:
//   start "world" WORLD | start "folder" DIR DEMOAPP  -> session ID, base URL, server URLs
//   stop ID | <member> ID ARGUMENTS...  -> the result of RefService::<member> (table below)
#include <httplib.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

#include "tests/support/ref_service_wire.h"
#include "tools/refservice/ref_service.h"

namespace {

using namespace zentro;
using refservice::RefService;
using testing::control::Fields;
using testing::control::WireError;
using Command = std::function<void(RefService&, Fields& in, Fields& out)>;

template <class>
struct Arguments;
template <class R, class... A>
struct Arguments<R (RefService::*)(A...)> {
  using type = std::tuple<std::decay_t<A>...>;
};
template <class R, class... A>
struct Arguments<R (RefService::*)(A...) const> : Arguments<R (RefService::*)(A...)> {};

// A member of the service reached by name: its arguments taken in order, its result put back.
template <class Member>
Command command(Member member) {
  return [member](RefService& s, Fields& in, Fields& out) {
    typename Arguments<Member>::type args;
    std::apply([&](auto&... a) { in.take(a...); }, args);
    const auto call = [&] { return std::apply([&](auto&... a) { return (s.*member)(a...); }, args); };
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

class Control {
 public:
  Fields handle(const std::string& command, Fields in) {
    Fields out;
    std::lock_guard lock(mutex_);
    if (command == "start") {
      start(in, out);
      return out;
    }
    const auto id = in.take<std::string>();
    auto session = sessions_.find(id);
    if (session == sessions_.end()) throw WireError("no session " + id);
    if (command == "stop") {
      sessions_.erase(session);
    } else if (auto it = kCommands.find(command); it != kCommands.end()) {
      it->second(*session->second, in, out);
    } else {
      throw WireError("unknown command \"" + command + "\"");
    }
    return out;
  }

 private:
  void start(Fields& in, Fields& out) {
    refservice::World world;
    if (in.take<std::string>() == "folder") {
      const auto dir = in.take<std::string>();
      world = refservice::loadWorld(dir, refservice::WorldLoadOptions{in.take<std::string>()});
    } else {
      in.take(world);
      world.validate();
    }
    auto service = std::make_unique<RefService>();
    service->start(world);
    std::map<std::string, std::string> servers;
    for (const auto& s : world.servers) servers[s.name] = service->serverUrl(s.name);
    const std::string id = std::to_string(++lastId_);
    out.put(id, service->baseUrl(), servers);
    sessions_[id] = std::move(service);
  }

  std::mutex mutex_;
  long lastId_ = 0;
  std::map<std::string, std::unique_ptr<RefService>> sessions_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]) != "--ready-file") {
    std::cerr << "usage: zentro-refservice-control --ready-file FILE\n";
    return 2;
  }
  const std::string readyFile = argv[2];
  // Block the stop signals before any thread exists, then wait for them here. A client that
  // hangs up in mid-answer is no reason to stop.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Control control;
  httplib::Server server;
  server.Post(R"(/([a-z-]+))", [&](const httplib::Request& req, httplib::Response& res) {
    try {
      res.set_content(control.handle(req.matches[1], Fields(req.body)).text(), "text/plain");
    } catch (const std::exception& e) {
      res.status = 400;
      res.set_content(e.what(), "text/plain");
    }
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  if (port <= 0) {
    std::cerr << "zentro-refservice-control: cannot listen on 127.0.0.1\n";
    return 1;
  }
  std::thread listener([&] { server.listen_after_bind(); });
  {
    const std::string tmp = readyFile + ".tmp";
    std::ofstream(tmp) << port << "\n";
    std::filesystem::rename(tmp, readyFile);
  }
  std::cout << "zentro-refservice-control: listening on 127.0.0.1:" << port << std::endl;
  int sig = 0;
  sigwait(&stopSignals, &sig);
  server.stop();
  listener.join();
  return 0;
}
