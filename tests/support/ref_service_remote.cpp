// How the Windows test programs reach the reference service: it runs on Linux, in
// zentro-refservice-control, whose loopback port scripts/test-windows.sh passes in
// ZENTRO_REFSERVICE_CONTROL.
#include <cstdlib>
#include <stdexcept>

#include "tests/support/loopback_http.h"
#include "tests/support/ref_service_wire.h"
#include "tests/support/test_system.h"

namespace zentro::testing::control {

Fields send(const std::string& command, const std::string& session, const Fields& in) {
  constexpr char kVariable[] = "ZENTRO_REFSERVICE_CONTROL";
  const int port = std::atoi(getEnv(kVariable).value_or("0").c_str());
  if (port <= 0) {
    throw std::runtime_error(std::string(kVariable) + " names no control endpoint: run these "
                             "tests through scripts/test-windows.sh");
  }
  const std::string target = "/" + command + "?session=" + session;
  const HttpAnswer answer = httpRequest(port, "POST", target, in.text(), std::chrono::seconds(60));
  if (answer.status != 200 || !answer.complete) {
    throw std::runtime_error("the reference service's control endpoint answered " +
                             std::to_string(answer.status) + " to " + target + ": " + answer.body);
  }
  return Fields(answer.body);
}

}  // namespace zentro::testing::control
