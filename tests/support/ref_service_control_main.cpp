// zentro-refservice-control: the reference service for test programs that cannot host it (the
// Windows ones, under Wine). scripts/test-windows.sh starts it; each test's fixture starts a
// service of its own through it, in a world it sends, and asks it what the service saw.
//   zentro-refservice-control --ready-file FILE
// Listens on a free loopback port and writes that port into FILE once listening (whole, under
// another name first). Runs until SIGTERM or SIGINT.
//
// Requests: POST /<command>[?session=ID], the body its arguments in the control text, the
// answer its result (control::send, tests/support/ref_service_wire.h); 400 with the reason on
// failure.
#include <httplib.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "tests/support/ref_service_wire.h"

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

  using zentro::testing::control::Fields;
  httplib::Server server;
  server.Post(R"(/([a-z-]+))", [&](const httplib::Request& req, httplib::Response& res) {
    try {
      const Fields answer = zentro::testing::control::send(
          req.matches[1], req.get_param_value("session"), Fields(req.body));
      res.set_content(answer.text(), "text/plain");
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
