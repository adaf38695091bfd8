// Secrets: after whole runs (interactive login with the login remembered and not remembered,
// command-line login, and runs that failed) no file the launcher wrote anywhere under the
// test's folders (settings, logs, stamps, temp files, machine hive, installed files) holds the
// password in any plain form, and no log or other file holds a login token the service
// issued, except the launched application's own record of the arguments it was given (the
// token is handed to it by design). And TLS verification cannot be switched off by the
// configuration: a service with a self-signed certificate is refused with a clear report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/app_texts.h"
#include "remote/data_space_texts.h"
#include "tests/fault/fault_fixture.h"

namespace zentro::testing {
namespace {

namespace fs = std::filesystem;
using refservice::Fault;

constexpr const char* kAppRecord = "demo-app-received.txt";

std::string hex(const std::string& s, const char* digits) {
  std::string out;
  for (unsigned char c : s) out.append({digits[c >> 4], digits[c & 15]});
  return out;
}

class SecretsTest : public FaultTest {
 protected:
  // An interactive run: the user types the login, ticks Remember or not, picks the broker.
  void runInteractive(bool remember) {
    ScriptedView& v = startRun("USEPROFILE");
    v.clickRemember(remember);
    login(kDemoFiler, kDemoBob, kDemoBobPassword, &v);
    ASSERT_TRUE(v.panelVisible(Panel::Versions)) << v.journalText();
    const std::vector<std::string> rows = v.gridRows();
    const auto broker = std::ranges::find(rows, std::string("Demo Broker 2026"));
    ASSERT_NE(broker, rows.end()) << v.journalText();
    v.clickGridRow(static_cast<int>(broker - rows.begin()));
    guard->cmdRunVersion_Click();
    v.runInstallTimer();
    ASSERT_TRUE(v.unloaded()) << v.journalText();
  }

  void noteToken() {
    const std::string token = ref.service().lastTokenOf(kDemoFiler, kDemoBob);
    ASSERT_FALSE(token.empty());
    tokens_.insert(token);
  }

  std::set<std::string> tokens_;
};

TEST_F(SecretsTest, NoPasswordOrTokenInAnyFileAfterFullRuns) {
  startService(demoWorld());
  runInteractive(true);
  noteToken();
  // The next run rewrites the settings: the password is looked for there now.
  EXPECT_EQ(stored(texts::kKeyPassword), "");
  publishUpdate();
  runInteractive(false);
  noteToken();
  publishUpdate();
  runLauncher();
  noteToken();
  expectUpToDate("three runs");
  // Failed runs write their errors to the log: a failed download, a run-time error report.
  publishUpdate();
  ref.service().setFileFault(kInstallGroup, "demo-library.dll", Fault{Fault::Kind::Status500});
  runLauncher();
  noteToken();
  ref.service().clearFaults();
  ref.service().setMemberFault("EAST", "GetInstallFilesByIDXML", Fault{Fault::Kind::Status500});
  EXPECT_TRUE(runLauncher().terminated());
  noteToken();

  const std::string password = kDemoBobPassword;
  const std::vector<std::string> passwordForms = {password, toUtf16(password, false, false),
                                                  hex(password, "0123456789abcdef"),
                                                  hex(password, "0123456789ABCDEF")};
  // Every regular file under the test's folders: home, XDG folders, temp, machine hive.
  int files = 0;
  int logs = 0;
  std::string appRecord;  // what the launched application recorded of its arguments
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(temp.path(), ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    ++files;
    const fs::path& file = it->path();
    const std::string bytes = readFile(file.string());
    for (const std::string& pattern : passwordForms) {
      EXPECT_FALSE(contains(bytes, pattern)) << file << " holds the password";
    }
    if (file.extension() == ".log") ++logs;
    if (file.filename() == kAppRecord) {
      appRecord = bytes;
      continue;
    }
    for (const std::string& token : tokens_) {
      EXPECT_FALSE(contains(bytes, token)) << file << " holds a login token";
    }
  }
  EXPECT_GT(files, 10);
  EXPECT_GE(logs, 1) << "no run log was written, so none was searched";
  // The search would have found a token: the launched application did receive one.
  EXPECT_TRUE(std::ranges::any_of(tokens_, [&](const auto& t) { return contains(appRecord, t); }))
      << appRecord;
}

TEST_F(SecretsTest, SelfSignedCertificateIsRefusedWhateverTheConfigurationSays) {
  const std::string certs = temp.str() + "/certs";
  const std::string script = std::string(ZENTRO_SOURCE_DIR) + "/scripts/make-test-cert.sh";
  ASSERT_EQ(std::system(("bash '" + script + "' '" + certs + "' >/dev/null").c_str()), 0);
  for (const char* name : {"SSL_CERT_FILE", "SSL_CERT_DIR", "CURL_CA_BUNDLE"}) env.unset(name);
  refservice::RefServiceOptions options;
  options.https = true;
  options.certFile = certs + "/refservice-cert.pem";
  options.keyFile = certs + "/refservice-key.pem";
  startService(demoWorld(), "", options);
  ASSERT_EQ(ref.baseUrl().rfind("https://", 0), 0u);
  // Settings an administrator might try in order to accept the certificate: none exists.
  const std::string url = ref.baseUrl();
  writeConfig("<z:row PropName='BaseURL' PropValue='" + url + "'/>\n"
              "<z:row PropName='IgnoreCertificateErrors' PropValue='TRUE'/>\n"
              "<z:row PropName='VerifyCertificate' PropValue='FALSE'/>\n"
              "<z:row PropName='SSLVerifyPeer' PropValue='0'/>\n"
              "<z:row PropName='AllowInsecure' PropValue='TRUE'/>\n");

  ScriptedView& v = runLauncher();
  const std::string text = reportedError(v);
  const std::string hostPort = url.substr(8, url.find('/', 8) - 8);
  EXPECT_EQ(text.rfind("GetLoginServersXML: " + std::string(data_space_texts::kTlsFailed) +
                           hostPort + std::string(data_space_texts::kFailed) + " (",
                       0),
            0u)
      << text;
  EXPECT_TRUE(contains(text, "certificate")) << text;
  EXPECT_FALSE(fs::exists(commonFolder())) << "something was installed from an untrusted service";

  // Trusting the certificate through the operating system's trust store is the way: then it runs.
  env.set("SSL_CERT_FILE", options.certFile);
  runLauncher();
  expectUpToDate("with the certificate trusted");
}

}  // namespace
}  // namespace zentro::testing
