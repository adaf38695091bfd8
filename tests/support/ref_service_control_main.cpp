// zentro-refservice-control: the reference service for test programs that cannot host it (the
// Windows ones, under Wine). scripts/test-windows.sh starts it; each test's fixture starts a
// service of its own through it, in a world it sends, and asks it what the service saw.
//   zentro-refservice-control --ready-file FILE
// Listens on a free loopback port and writes that port into FILE once listening (whole, under
// another name first). Runs until SIGTERM or SIGINT.
//
// Requests: POST /<command>, the body in the control text (tests/support/ref_service_wire.h),
// the first line the command's fields, the answer's lines its result; 400 with the reason on
// failure. A session is one running service:
//   start world | start folder DIR DEMOAPP   (then the world's lines) -> session ID, base URL,
//                                               server NAME URL ...
//   stop ID | records ID | token ID FILER LOGIN | set-file ID GROUP NAME CONTENT =VERSION|-
//   last-update ID GROUP TEXT | member-fault ID LISTENER MEMBER KIND AMOUNT REMAINING
//   file-fault ID GROUP NAME KIND AMOUNT REMAINING | clear-faults ID
#include <httplib.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "tests/support/ref_service_wire.h"
#include "tools/refservice/ref_service.h"

namespace {

using namespace zentro;
using testing::control::Line;

class Control {
 public:
  std::vector<Line> handle(const std::string& command, const std::vector<Line>& lines) {
    if (lines.empty()) throw testing::control::WireError("empty request");
    const Line& a = lines[0];
    std::lock_guard lock(mutex_);
    if (command == "start") return start(a, lines);
    refservice::RefService& s = session(a.at(0));
    if (command == "stop") {
      sessions_.erase(a[0]);
      return {};
    }
    if (command == "records") {
      return testing::control::recordLines({s.calls(), s.notes(), s.downloads()});
    }
    if (command == "token") return {{s.lastTokenOf(a.at(1), a.at(2))}};
    if (command == "set-file") {
      const std::string& version = a.at(4);
      const auto v = version == "-" ? std::nullopt : std::optional<std::string>(version.substr(1));
      return {{s.setFile(std::stol(a.at(1)), a.at(2), a.at(3), v) ? "1" : "0"}};
    }
    if (command == "last-update") return {{s.setLastUpdate(std::stol(a.at(1)), a.at(2)) ? "1" : "0"}};
    if (command == "member-fault") {
      s.setMemberFault(a.at(1), a.at(2), fault(a, 3));
      return {};
    }
    if (command == "file-fault") {
      s.setFileFault(std::stol(a.at(1)), a.at(2), fault(a, 3));
      return {};
    }
    if (command == "clear-faults") {
      s.clearFaults();
      return {};
    }
    throw testing::control::WireError("unknown command \"" + command + "\"");
  }

 private:
  static refservice::Fault fault(const Line& a, std::size_t at) {
    refservice::Fault f;
    f.kind = static_cast<refservice::Fault::Kind>(std::stoi(a.at(at)));
    f.amount = std::stol(a.at(at + 1));
    f.remaining = std::stoi(a.at(at + 2));
    return f;
  }

  std::vector<Line> start(const Line& a, const std::vector<Line>& lines) {
    refservice::World world;
    if (a.at(0) == "folder") {
      world = refservice::loadWorld(a.at(1), refservice::WorldLoadOptions{a.at(2)});
    } else {
      world = testing::control::worldFromLines({lines.begin() + 1, lines.end()});
      world.validate();
    }
    auto service = std::make_unique<refservice::RefService>();
    service->start(world);
    const std::string id = std::to_string(++lastId_);
    std::vector<Line> answer = {{"session", id}, {"base", service->baseUrl()}};
    for (const auto& s : world.servers) answer.push_back({"server", s.name, service->serverUrl(s.name)});
    sessions_[id] = std::move(service);
    return answer;
  }

  refservice::RefService& session(const std::string& id) {
    auto it = sessions_.find(id);
    if (it == sessions_.end()) throw testing::control::WireError("no session " + id);
    return *it->second;
  }

  std::mutex mutex_;
  long lastId_ = 0;
  std::map<std::string, std::unique_ptr<refservice::RefService>> sessions_;
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
      const auto answer = control.handle(req.matches[1], testing::control::decodeLines(req.body));
      res.set_content(testing::control::encodeLines(answer), "text/plain");
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
