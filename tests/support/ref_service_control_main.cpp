// zentro-refservice-control: the reference service for test programs that cannot host it (the
// Windows ones, under Wine). scripts/test-windows.sh starts it; each test's fixture starts a
// service of its own through it, in a world it sends, and asks it what the service saw.
//   zentro-refservice-control --ready-file FILE
// Listens on a free loopback port and writes that port into FILE once listening (whole, under
// another name first). Runs until SIGTERM or SIGINT.
//
// Requests: POST /<command>?session=<ID>, the body its arguments in the control text, the
// answer its result (control::send, tests/support/ref_service_wire.h); 400 with the reason on
// failure.
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <stdexcept>

#include "tests/support/loopback_http.h"
#include "tests/support/ref_service_wire.h"

namespace {

using namespace zentro::testing;

HttpReply handle(const HttpRequest& request) {
  static const std::regex kTarget(R"(/([^?]*)(\?session=(.*))?)");
  std::smatch m;
  HttpReply reply;
  reply.contentType = "text/plain";
  try {
    if (!std::regex_match(request.target, m, kTarget)) throw std::runtime_error("bad target");
    reply.body = control::send(m[1], m[3], control::Fields(request.body)).text();
  } catch (const std::exception& e) {
    reply.status = 400;
    reply.body = e.what();
  }
  return reply;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]) != "--ready-file") {
    std::cerr << "usage: zentro-refservice-control --ready-file FILE\n";
    return 2;
  }
  const std::string readyFile = argv[2];
  // Block the stop signals before any thread exists, then wait for them here.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  LoopbackHttp server(handle);
  {
    const std::string tmp = readyFile + ".tmp";
    std::ofstream(tmp) << server.port() << "\n";
    std::filesystem::rename(tmp, readyFile);
  }
  std::cout << "zentro-refservice-control: listening on " << server.url() << std::endl;
  int sig = 0;
  sigwait(&stopSignals, &sig);
  return 0;
}
