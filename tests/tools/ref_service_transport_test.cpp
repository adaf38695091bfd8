// The reference service seen from the client's transport: every fault mode, the "404 Object
// Not Found" status line, several loopback addresses, HTTPS; and the fixture's own check.

#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/http.h"
#include "platform/http_texts.h"
#include "platform/runtime_error.h"
#include "remote/ado_xml.h"
#include "remote/data_space.h"
#include "tests/remote/remote_support.h"
#include "tests/support/ref_service_fixture.h"
#include "tests/support/test_system.h"
#include "tools/refservice/business_objects.h"

namespace zentro {
namespace {

using ::testing::Property;
using ::testing::StartsWith;
using ::testing::Throws;
using ::testing::ThrowsMessage;
using refservice::Fault;
using refservice::kLoginProgId;
using Kind = refservice::Fault::Kind;

constexpr const char* kObjectNotFound = "HTTP/1.1 404 Object Not Found";

TEST(RefServiceFixtureTest, MissingExpectedCallFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        testing::ScopedRefService s;
        s.startFromFolder(testing::demoWorldDir(), testing::demoAppPath());
        s.expectCall(kLoginProgId, "isValidLogin");
      },
      "CVBO_V2.Init.isValidLogin but received 0");
}

// Two servers on two loopback addresses; deployment 1 (BROKER) on S1 with group 1, deployment 2
// (CLIENT) on S2 with group 2; login U may use both, V only the first. "gone.dll" is listed
// without content; "packed.dat" is served as an archive.
refservice::World twoServerWorld() {
  refservice::World w;
  w.filers["F"] = "";
  w.logins.push_back({"F", "U", "pw", {1, 2}});
  w.logins.push_back({"F", "V", "pw", {1}});
  w.base.path = "/bo";
  w.servers.push_back({"S1", "127.0.0.1", 0, "/bo", {}});
  w.servers.push_back({"S2", "127.0.0.2", 0, "/other", {}});
  w.deployments.push_back({1, "BROKER", "Broker", "S1", "", "b", 1L, std::nullopt, "Y", {}});
  w.deployments.push_back({2, " CLIENT ", "Client", "S2", "", "c", 2L, std::nullopt, "N", {}});
  struct File {
    long group;
    const char* name;
    const char* location;
    int compressed;
    std::size_t size;  // 0: no content
  };
  for (const File& f : {File{1, "a.bin", "a.bin", 0, 5000},
                        File{1, "packed.dat", "sub/packed.cmp", 1, 5000},
                        File{1, "gone.dll", "gone.dll", 0, 0}, File{2, "c.bin", "c.bin", 0, 2049}}) {
    refservice::InstallEntry e;
    e.fileName = f.name;
    e.downloadLocation = f.location;
    e.isCompressed = f.compressed;
    if (f.size > 0) e.content = std::make_shared<const std::string>(f.size, f.name[0]);
    w.groups[f.group].id = f.group;
    w.groups[f.group].entries.push_back(e);
  }
  return w;
}

class RefServiceTransportTest : public testing::RefServiceTest {
 protected:
  void SetUp() override {
    ref.start(twoServerWorld());
    http = platform::makeHttpClient();
  }
  platform::HttpResponse get(const std::string& url) {
    platform::HttpRequest r;
    r.method = "GET";
    r.url = url;
    r.headers = {{"Proxy-Connection", "Keep-Alive"}};
    return http->send(r);
  }
  std::string fileUrl(const char* location) { return ref.serverUrl("S1") + "/BROKER/InstallFiles/" + location; }
  // U's isValidLogin call on `server`.
  static Value isValidLogin(ServiceObject& server, bool isClient = false) {
    bool automatic = false;
    return server.invoke("isValidLogin", {Arg::byVal(Value("F")), Arg::byVal(Value("U")),
                                          Arg::byVal(Value("pw")), Arg::byVal(Value(isClient)),
                                          Arg::byRef(automatic)});
  }
  std::unique_ptr<platform::HttpClient> http;
};

TEST_F(RefServiceTransportTest, DownloadFaultsAsTheClientSeesThem) {
  EXPECT_EQ(get(fileUrl("gone.dll")).statusLine, kObjectNotFound);  // listed without content
  // A cut body, a wrong length and a refused answer all reach the client as cut transfers.
  using platform::HttpError;
  for (const Fault& fault :
       {Fault{Kind::CutBody, 100}, Fault{Kind::WrongLength, 10}, Fault{Kind::Refuse}}) {
    ref.service().setFileFault(1, "a.bin", fault);
    EXPECT_THAT([&] { get(fileUrl("a.bin")); },
                Throws<HttpError>(Property(&HttpError::kind, HttpError::Kind::Cut)))
        << refservice::describeFault(fault);
  }
  EXPECT_THAT([&] { get(fileUrl("a.bin")); },
              ThrowsMessage<HttpError>(std::string(platform::http_texts::kNoResponse)));

  ref.service().setFileFault(1, "a.bin", Fault{Kind::Delay, 20});
  EXPECT_EQ(get(fileUrl("a.bin")).body.size(), 5000u);

  // A deployment's fault covers its files; a file's own fault wins over it.
  ref.service().setDeploymentFault(1, Fault{Kind::Status500});
  ref.service().setFileFault(1, "a.bin", Fault{Kind::Delay, 1});
  EXPECT_EQ(get(fileUrl("sub/packed.cmp")).status, 500);
  EXPECT_EQ(get(fileUrl("a.bin")).status, 200);
  ref.service().clearFaults();
  EXPECT_EQ(get(fileUrl("sub/packed.cmp")).status, 200);
}

TEST_F(RefServiceTransportTest, MemberFaultsReachTheCallerAsErrorsNamingTheMember) {
  DataSpace space(*http);
  auto o = space.createObject(kLoginProgId, ref.serverUrl("S1"));
  ASSERT_EQ(isValidLogin(*o), Value(true));
  const long vtError = static_cast<std::int32_t>(0x800A0BB9);
  for (const Fault& fault : {Fault{Kind::Refuse}, Fault{Kind::CutBody, 10},
                             Fault{Kind::WrongLength, 5}, Fault{Kind::VtError, vtError}}) {
    SCOPED_TRACE(refservice::describeFault(fault));
    ref.service().setMemberFault("S1", "isValidLogin", fault);
    const RuntimeError e = testing::raised([&] { isValidLogin(*o); });
    EXPECT_THAT(e.description(), StartsWith("isValidLogin: "));
    EXPECT_EQ(e.number(), fault.kind == Kind::VtError ? vtError : kErrRemote);
  }
  // Faults on one listener leave the others alone; "*" reaches every listener.
  auto base = space.createObject(kLoginProgId, ref.baseUrl());
  std::string f = "F", u = "U";
  EXPECT_NO_THROW(base->invoke("GetLoginServersXML", {Arg::byRef(f), Arg::byRef(u)}));
  ref.service().clearFaults();
  ref.service().setMemberFault("*", "*", Fault{Kind::Status500, 0, 1});
  EXPECT_THROW(base->invoke("GetLoginServersXML", {Arg::byRef(f), Arg::byRef(u)}), RuntimeError);
  EXPECT_EQ(isValidLogin(*o), Value(true));
}

// What a login may see and use: its deployments, the client flag, its token, its groups.
TEST_F(RefServiceTransportTest, AnswersFollowTheLoginItsTokenAndTheClientFlag) {
  DataSpace space(*http);
  auto s1 = space.createObject(kLoginProgId, ref.serverUrl("S1"));
  auto s2 = space.createObject(kLoginProgId, ref.serverUrl("S2"));
  std::string filer = "F", u = "U", v = "V", password = "pw";
  auto deployments = [&](std::string& login) {
    return readAdoXml(*s1->invoke("GetDeploymentsXML", {Arg::byRef(filer), Arg::byRef(login)})
                           .toText())
        .recordCount();
  };
  EXPECT_EQ(deployments(u), 2);
  EXPECT_EQ(deployments(v), 1);
  EXPECT_EQ(isValidLogin(*s1, true), Value(false));  // no client deployment on S1
  EXPECT_EQ(isValidLogin(*s2, true), Value(true));
  std::string token = *s1->invoke("LoginUser", {Arg::byRef(filer), Arg::byRef(v),
                                                Arg::byRef(password), Arg::byVal(Value(""))})
                           .toText();
  auto files = [&](std::string& who, std::int32_t group) {
    return s1->invoke("GetInstallFilesByIDXML",
                      {Arg::byRef(who), Arg::byVal(Value(group)), Arg::byVal(Value::null())});
  };
  EXPECT_NO_THROW(files(token, 1));
  std::string unknown = "0000";
  EXPECT_THROW(files(unknown, 1), RuntimeError);
  EXPECT_THROW(files(token, 2), RuntimeError);  // a group V may not use
}

// Downloads over TLS with a trusted certificate: redirects drop credentials and never lead from
// https down to http.
TEST(RefServiceHttpsTest, RedirectsOverTls) {
  testing::TempDir temp;
  const std::string script = std::string(ZENTRO_SOURCE_DIR) + "/scripts/make-test-cert.sh";
  ASSERT_EQ(std::system((script + " " + temp.str() + " > /dev/null").c_str()), 0);
  refservice::RefServiceOptions options;
  options.https = true;
  options.certFile = temp.file("refservice-cert.pem");
  options.keyFile = temp.file("refservice-key.pem");
  testing::ScopedRefService ref;
  ref.start(twoServerWorld(), options);
  const std::string url = ref.serverUrl("S1");
  ASSERT_EQ(url.rfind("https://127.0.0.1:", 0), 0u);
  testing::ScopedEnv env;
  env.set("SSL_CERT_FILE", options.certFile);
  auto trusted = platform::makeHttpClient();

  // A download follows a redirect to another host, without the first URL's credentials, but
  // never one from https down to http.
  platform::HttpRequest download;
  download.method = "GET";
  download.url = "https://user:secret@" + url.substr(8) + "/BROKER/InstallFiles/a.bin";
  ref.service().setFileRedirect(1, "a.bin", ref.serverUrl("S2") + "/CLIENT/InstallFiles/c.bin");
  EXPECT_EQ(trusted->send(download).body, *twoServerWorld().groups[2].entries[0].content);
  auto records = ref.service().downloads();
  ASSERT_GE(records.size(), 2u);
  EXPECT_TRUE(records[records.size() - 2].withCredentials);
  EXPECT_EQ(records.back().listener, "S2");
  EXPECT_FALSE(records.back().withCredentials);
  ref.service().setFileRedirect(1, "a.bin", "http://" + url.substr(8) + "/BROKER/InstallFiles/gone.dll");
  EXPECT_THAT([&] { trusted->send(download); },
              ThrowsMessage<platform::HttpError>(
                  std::string(platform::http_texts::kInsecureRedirect)));
  EXPECT_EQ(ref.service().downloads().size(), records.size() + 1);
}

}  // namespace
}  // namespace zentro
