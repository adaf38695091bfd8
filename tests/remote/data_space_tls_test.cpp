// The business-object client refuses a server whose certificate it cannot trust. Linux only:
// the TLS server is cpp-httplib's (tests/windows.cmake).
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/http.h"
#include "remote/data_space.h"
#include "remote/data_space_texts.h"
#include "platform/runtime_error.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace zentro {
namespace {

namespace texts = data_space_texts;

TEST(DataSpaceTls, SelfSignedCertificateIsRefused) {
  testing::ScopedEnv env;
  env.set("no_proxy", "127.0.0.1");
  testing::TempDir temp;
  const std::string cert = temp.file("cert.pem"), key = temp.file("key.pem");
  const std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
                          " -addext subjectAltName=IP:127.0.0.1 -keyout '" + key + "' -out '" +
                          cert + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  httplib::SSLServer secure(cert.c_str(), key.c_str());
  std::atomic<int> calls{0};
  secure.Post(R"(/.*)", [&](const httplib::Request&, httplib::Response&) { ++calls; });
  const int port = secure.bind_to_any_port("127.0.0.1");
  std::thread listener([&] { secure.listen_after_bind(); });
  while (!secure.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  auto http = platform::makeHttpClient();
  DataSpace space(*http);
  auto object = space.createObject("CVBO_V2.Init", "https://127.0.0.1:" + std::to_string(port));
  try {
    object->invoke("GetLoginServersXML", {});
    ADD_FAILURE() << "no RuntimeError";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), kErrRemote);
    EXPECT_EQ(e.description().rfind("GetLoginServersXML: " + std::string(texts::kTlsFailed) +
                                        "127.0.0.1:" + std::to_string(port) +
                                        std::string(texts::kFailed),
                                    0),
              0u)
        << e.description();
    EXPECT_NE(e.description().find("certificate"), std::string::npos) << e.description();
  }
  EXPECT_EQ(calls, 0);
  secure.stop();
  listener.join();
}

}  // namespace
}  // namespace zentro
