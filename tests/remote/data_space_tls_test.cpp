// The business-object client refuses a server whose certificate it cannot trust. Linux only:
// the reference service serves TLS in-process only (tests/windows.cmake).
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/http.h"
#include "platform/runtime_error.h"
#include "remote/data_space.h"
#include "remote/data_space_texts.h"
#include "tests/remote/remote_support.h"
#include "tests/support/ref_service_fixture.h"
#include "tests/support/scoped_env.h"

namespace zentro {
namespace {

namespace texts = data_space_texts;

TEST(DataSpaceTls, SelfSignedCertificateIsRefused) {
  testing::ScopedEnv env;
  env.set("no_proxy", "127.0.0.1");
  testing::TempDir temp;
  refservice::RefServiceOptions tls{true, temp.file("cert.pem"), temp.file("key.pem"), 0, ""};
  const std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
                          " -addext subjectAltName=IP:127.0.0.1 -keyout '" + tls.keyFile +
                          "' -out '" + tls.certFile + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  testing::ScopedRefService ref;
  ref.start(testing::filesWorld({}), tls);

  auto http = platform::makeHttpClient();
  DataSpace space(*http);
  auto object = space.createObject("CVBO_V2.Init", ref.baseUrl());
  const RuntimeError e = testing::raised([&] { object->invoke("GetLoginServersXML", {}); });
  EXPECT_EQ(e.number(), kErrRemote);
  const std::string hostPort = ref.baseUrl().substr(std::string("https://").size());
  EXPECT_EQ(e.description().rfind("GetLoginServersXML: " + std::string(texts::kTlsFailed) +
                                      hostPort + std::string(texts::kFailed), 0),
            0u)
      << e.description();
  EXPECT_NE(e.description().find("certificate"), std::string::npos) << e.description();
  EXPECT_TRUE(ref.calls().empty());
}

}  // namespace
}  // namespace zentro
