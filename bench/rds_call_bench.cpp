// 1,000 sequential isValidLogin calls through the data space against 1,000 POSTs of the same
// request bytes by one curl process (one connection, reused), both to the same in-process
// reference service in the same run. The last line is the ratio data space / curl.
//
// usage: rds_call_bench [DEMO_WORLD_DIR [DEMO_APP]]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "bench/child_process.h"
#include "platform/http.h"
#include "remote/data_space.h"
#include "remote/rds_wire.h"
#include "tools/refservice/ref_service.h"
#include "tools/refservice/world.h"

namespace {

constexpr int kCalls = 1000;
// curl's one request, and its thousand.
constexpr auto kCurlLimit = std::chrono::minutes(2);

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A world of one login on one server: all the bench needs.
zentro::refservice::World benchWorld() {
  zentro::refservice::World w;
  w.filers["DEMO"] = "";
  w.logins.push_back({"DEMO", "ALICE", "alice-demo", {1}});
  w.base.path = "/cvbo";
  w.servers.push_back({"EAST", "127.0.0.1", 0, "/cvbo", {}});
  w.deployments.push_back({1, "BROKER", "Bench", "EAST", "", "Bench", std::nullopt, std::nullopt, "Y", {}});
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zentro;
  refservice::World world = benchWorld();
  if (argc > 1) world = refservice::loadWorld(argv[1], refservice::WorldLoadOptions{argc > 2 ? argv[2] : ""});

  refservice::RefService service;
  service.start(world);
  const std::string url = service.serverUrl(world.servers.front().name);
  const std::string origin = url.substr(0, url.find('/', url.find("://") + 3));
  const std::string endpoint = origin + rds::requestPath("CVBO_V2.Init", "isValidLogin");
  std::cout << "service: " << url << "\n";

  // Warm both paths once so neither pays for first-use setup inside the measurement.
  auto http = platform::makeHttpClient();
  DataSpace space(*http);
  auto object = space.createObject("CVBO_V2.Init", url);
  bool autoFlag = false;
  auto call = [&] {
    return object->invoke("isValidLogin", {Arg::byVal(Value("DEMO")), Arg::byVal(Value("ALICE")),
                                           Arg::byVal(Value("alice-demo")), Arg::byVal(Value(false)),
                                           Arg::byRef(autoFlag)});
  };
  if (call() != Value(true)) {
    std::cerr << "isValidLogin did not pass; the bench world is wrong\n";
    return 1;
  }

  const auto start = Clock::now();
  for (int i = 0; i < kCalls; ++i) call();
  const double dataSpaceSeconds = secondsSince(start);

  // The same request bytes, sent by curl from a config listing every request.
  const auto dir = std::filesystem::temp_directory_path() / ("rds_call_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string bodyFile = (dir / "body.bin").string();
  std::ofstream(bodyFile, std::ios::binary)
      << rds::encodeRequestBody({Value("DEMO"), Value("ALICE"), Value("alice-demo"), Value(false), Value(false)});
  const std::string configFile = (dir / "requests.cfg").string();
  {
    std::ofstream cfg(configFile);
    for (int i = 0; i < kCalls; ++i) {
      if (i) cfg << "next\n";
      cfg << "url = \"" << endpoint << "\"\n"
          << "data-binary = \"@" << bodyFile << "\"\n"
          << "header = \"User-Agent: ACTIVEDATA\"\n"
          << "header = \"Content-Type:\"\n"
          << "header = \"Cache-Control: no-cache\"\n"
          << "output = \"/dev/null\"\n";
    }
  }
  if (!zentro::bench::runChild({"curl", "-sS", "--fail", "-o", "/dev/null", "-H", "Content-Type:",
                               "--data-binary", "@" + bodyFile, endpoint},
                              kCurlLimit)
           .ok) {
    std::cerr << "curl could not reach the service\n";
    return 1;
  }
  const zentro::bench::ChildResult curl =
      zentro::bench::runChild({"curl", "-sS", "--fail", "--config", configFile}, kCurlLimit);
  const double curlSeconds = curl.seconds;
  std::filesystem::remove_all(dir);
  service.stop();
  if (!curl.ok) {
    std::cerr << "curl failed\n";
    return 1;
  }

  std::printf("data space: %d calls in %.3f s (%.1f us per call)\n", kCalls, dataSpaceSeconds,
              dataSpaceSeconds * 1e6 / kCalls);
  std::printf("curl:       %d calls in %.3f s (%.1f us per call)\n", kCalls, curlSeconds, curlSeconds * 1e6 / kCalls);
  std::printf("ratio data space / curl: %.2f (target <= 1.5)\n", dataSpaceSeconds / curlSeconds);
  return 0;
}
