// zentro-refservice: runs the reference business-object service on loopback until
// SIGTERM or SIGINT.

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/refservice/ref_service.h"
#include "tools/refservice/world.h"

namespace {

constexpr const char* kUsage =
    "usage: zentro-refservice --world DIR [--https --cert CERT.pem --key KEY.pem]\n"
    "                         [--base-port N] [--log DIR] [--ready-file FILE] [--demo-app PATH]\n"
    "Serves the business objects of the world in DIR on loopback. Prints the URLs once\n"
    "listening and writes the base URL into FILE. Runs until SIGTERM or SIGINT.\n";

int usage(const std::string& problem) {
  if (!problem.empty()) std::cerr << "zentro-refservice: " << problem << "\n";
  std::cerr << kUsage;
  return 2;
}

// The demo application's binary beside this program, when it was built there.
std::string demoAppBesideSelf() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  const auto candidate = self.parent_path() / "zentro-demo-app";
  return std::filesystem::exists(candidate, ec) ? candidate.string() : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zentro::refservice;
  std::string worldDir, readyFile, demoApp;
  RefServiceOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string port;
    if (a == "--world") { if (!value(worldDir)) return usage("--world needs a folder"); }
    else if (a == "--https") options.https = true;
    else if (a == "--cert") { if (!value(options.certFile)) return usage("--cert needs a file"); }
    else if (a == "--key") { if (!value(options.keyFile)) return usage("--key needs a file"); }
    else if (a == "--log") { if (!value(options.logFolder)) return usage("--log needs a folder"); }
    else if (a == "--ready-file") { if (!value(readyFile)) return usage("--ready-file needs a file"); }
    else if (a == "--demo-app") { if (!value(demoApp)) return usage("--demo-app needs a path"); }
    else if (a == "--base-port") {
      if (!value(port)) return usage("--base-port needs a number");
      char* end = nullptr;
      const long n = std::strtol(port.c_str(), &end, 10);
      if (*end != '\0' || n < 1 || n > 65000) return usage("--base-port needs a port number");
      options.basePort = static_cast<int>(n);
    } else if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      return usage("unknown argument " + a);
    }
  }
  if (worldDir.empty()) return usage("--world is required");
  if (options.https && (options.certFile.empty() || options.keyFile.empty()))
    return usage("--https needs --cert and --key");
  if (demoApp.empty()) demoApp = demoAppBesideSelf();

  // Block the stop signals before any listener thread exists, then wait for them here.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  RefService service;
  try {
    const World world = loadWorld(worldDir, WorldLoadOptions{demoApp});
    service.start(world, options);
    std::cout << "base login object: " << service.baseUrl() << "\n";
    for (const auto& s : world.servers)
      std::cout << "login server " << s.name << ": " << service.serverUrl(s.name) << "\n";
    if (!service.logFilePath().empty()) std::cout << "log: " << service.logFilePath() << "\n";
    std::cout << std::flush;
    if (!readyFile.empty()) {
      // Written whole under another name first, so a watcher never reads half a URL.
      const std::string tmp = readyFile + ".tmp";
      std::ofstream(tmp) << service.baseUrl() << "\n";
      std::filesystem::rename(tmp, readyFile);
    }
  } catch (const std::exception& e) {
    std::cerr << "zentro-refservice: " << e.what() << "\n";
    return 1;
  }
  int sig = 0;
  sigwait(&stopSignals, &sig);
  service.stop();
  return 0;
}
