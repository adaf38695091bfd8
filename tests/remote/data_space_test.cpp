#include "remote/data_space.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/http_texts.h"
#include "platform/runtime_error.h"
#include "remote/data_space_texts.h"
#include "remote/rds_wire.h"
#include "tests/support/temp_dir.h"

namespace zentro {
namespace {

namespace texts = data_space_texts;

// An RDS endpoint on loopback that decodes each call with the codec and answers through
// `answer`. Runs until destroyed.
class RdsEndpoint {
 public:
  struct Call {
    std::string progId, member;
    std::vector<Value> args;
    int remotePort = 0;
    httplib::Headers headers;
  };
  struct Reply {
    int status = 200;
    std::string body;
  };
  using Answer = std::function<Reply(const Call&)>;

  explicit RdsEndpoint(std::unique_ptr<httplib::Server> server = std::make_unique<httplib::Server>())
      : server_(std::move(server)) {
    server_->Post(R"(/msadc/msadcs\.dll/.*)", [this](const httplib::Request& req, httplib::Response& res) {
      Call call;
      auto [progId, member] = rds::parseRequestPath(req.path);
      call.progId = progId;
      call.member = member;
      call.args = rds::decodeRequestBody(req.body, req.get_header_value("Content-Type"));
      call.remotePort = req.remote_port;
      call.headers = req.headers;
      Answer answer;
      {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        answer = answer_;
      }
      Reply reply = answer(call);
      res.status = reply.status;
      res.body = reply.body;
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~RdsEndpoint() {
    release();
    server_->stop();
    thread_.join();
  }

  void answer(Answer a) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(a);
  }
  std::vector<Call> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::string url(const std::string& scheme = "http") const {
    return scheme + "://127.0.0.1:" + std::to_string(port_);
  }
  int port() const { return port_; }

  // Holds the handler until release() (or 10 s), to outlast a client's time limit.
  Reply hold() {
    std::unique_lock lock(mutex_);
    released_.wait_for(lock, std::chrono::seconds(10), [this] { return isReleased_; });
    return {200, rds::encodeResponseBody({}, Value("late"))};
  }
  void release() {
    std::lock_guard lock(mutex_);
    isReleased_ = true;
    released_.notify_all();
  }

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = -1;
  std::mutex mutex_;
  std::condition_variable released_;
  bool isReleased_ = false;
  std::vector<Call> calls_;
  Answer answer_ = [](const Call&) { return Reply{200, rds::encodeResponseBody({}, std::nullopt)}; };
};

class DataSpaceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1", 1); }

  // Runs `call` and returns the RuntimeError it must raise.
  template <class F>
  static RuntimeError raised(F call) {
    try {
      call();
    } catch (const RuntimeError& e) {
      return e;
    }
    ADD_FAILURE() << "no RuntimeError";
    return RuntimeError(0, "", "");
  }

  testing::TempDir temp_;
  RdsEndpoint endpoint_;
  std::unique_ptr<platform::HttpClient> http_ = platform::makeHttpClient();
  DataSpace space_{*http_};
};

ErrorValue loginFailure() {
  ErrorValue e;
  e.scode = static_cast<std::int32_t>(0x80020009u);
  e.scode2 = static_cast<std::int32_t>(0x800A0E7Au);
  e.hasExcepInfo = true;
  e.source = "ADODB.Connection";
  e.description = "Login failed";
  return e;
}

TEST_F(DataSpaceTest, CallWritesBackByReferenceArgumentsOnly) {
  endpoint_.answer([](const RdsEndpoint::Call&) {
    return RdsEndpoint::Reply{200, rds::encodeResponseBody({Value("NEW"), Value(std::int32_t{-1}),
                                                            Value(std::int32_t{7}), Value("changed")},
                                                           Value("OK"))};
  });
  // The URL's user info, path and query take no part in the call.
  auto object = space_.createObject("CVBO_V2.Init", "http://user:pw@127.0.0.1:" +
                                                        std::to_string(endpoint_.port()) + "/x/y?z=1");
  std::string text = "abc";
  bool flag = false;
  Value variant(1.5);
  std::string byValue = "keep";
  Value result = object->invoke("Method", {Arg::byRef(text), Arg::byRef(flag), Arg::byRef(variant),
                                           Arg::byVal(Value(byValue))});
  EXPECT_EQ(result, Value("OK"));
  EXPECT_EQ(text, "NEW");
  EXPECT_TRUE(flag);
  EXPECT_EQ(variant, Value(std::int32_t{7}));
  EXPECT_EQ(byValue, "keep");

  auto calls = endpoint_.calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].progId, "CVBO_V2.Init");
  EXPECT_EQ(calls[0].member, "Method");
  EXPECT_EQ(calls[0].args, (std::vector<Value>{Value("abc"), Value(false), Value(1.5), Value("keep")}));
  const auto& h = calls[0].headers;
  EXPECT_EQ(h.find("User-Agent")->second, "ACTIVEDATA");
  EXPECT_EQ(h.find("Cache-Control")->second, "no-cache");
  EXPECT_EQ(h.find("Connection")->second, "Keep-Alive");
  EXPECT_EQ(h.count("Content-Type"), 0u);
  EXPECT_EQ(h.count("Accept"), 0u);
  EXPECT_EQ(h.count("Authorization"), 0u);

  // A Sub returns Empty; a Null that a text variable cannot hold leaves it alone.
  endpoint_.answer([](const RdsEndpoint::Call&) {
    return RdsEndpoint::Reply{200, rds::encodeResponseBody({Value::null()}, std::nullopt)};
  });
  EXPECT_EQ(object->invoke("Sub", {Arg::byRef(text)}), Value());
  EXPECT_EQ(text, "NEW");

  // Arrays in an answer are data, not a transport failure: a variant takes them, a text
  // variable (which cannot hold one) keeps its value.
  const Value statuses(ArrayValue{0x0C, {{2, 0}}, {Value(std::int32_t{0}), Value(loginFailure())}});
  endpoint_.answer([&](const RdsEndpoint::Call&) {
    return RdsEndpoint::Reply{200, rds::encodeResponseBody({statuses, statuses}, statuses)};
  });
  EXPECT_EQ(object->invoke("Synchronize", {Arg::byRef(variant), Arg::byRef(text)}), statuses);
  EXPECT_EQ(variant, statuses);
  EXPECT_EQ(text, "NEW");
}

TEST_F(DataSpaceTest, RemoteErrorsCarryNumberSourceAndMember) {
  endpoint_.answer([](const RdsEndpoint::Call& c) {
    if (c.member == "GetDeploymentsXML") return RdsEndpoint::Reply{200, rds::encodeErrorBody(loginFailure())};
    ErrorValue plain;
    plain.scode = static_cast<std::int32_t>(0x80070057u);
    return RdsEndpoint::Reply{200, rds::encodeErrorBody(plain)};
  });
  auto object = space_.createObject("CVBO_V2.Init", endpoint_.url());
  RuntimeError e = raised([&] { object->invoke("GetDeploymentsXML", {}); });
  EXPECT_EQ(e.number(), static_cast<long>(static_cast<std::int32_t>(0x800A0E7Au)));
  EXPECT_EQ(e.source(), "ADODB.Connection");
  EXPECT_EQ(e.description(), "GetDeploymentsXML: Login failed");

  e = raised([&] { object->invoke("Other", {}); });
  EXPECT_EQ(e.number(), static_cast<long>(static_cast<std::int32_t>(0x80070057u)));
  EXPECT_EQ(e.source(), "CVBO_V2.Init");
  EXPECT_EQ(e.description(), "Other: " + std::string(texts::kRemoteError) + "0x80070057");
}

TEST_F(DataSpaceTest, HttpStatusAndUnreadableAnswersAreErrors) {
  endpoint_.answer([](const RdsEndpoint::Call& c) {
    if (c.member == "Broken") return RdsEndpoint::Reply{500, "oops"};
    if (c.member == "Garbage") return RdsEndpoint::Reply{200, "<html>not an answer</html>"};
    return RdsEndpoint::Reply{200, rds::encodeResponseBody({Value(), Value()}, std::nullopt)};
  });
  auto object = space_.createObject("Shop.Orders", endpoint_.url());
  RuntimeError e = raised([&] { object->invoke("Broken", {}); });
  EXPECT_EQ(e.number(), kErrRemote);
  EXPECT_EQ(e.source(), "Shop.Orders");
  EXPECT_EQ(e.description(), "Broken: the server answered HTTP 500 Internal Server Error");

  e = raised([&] { object->invoke("Garbage", {}); });
  EXPECT_EQ(e.description().rfind("Garbage: " + std::string(texts::kUndecodable), 0), 0u) << e.description();
  // Two parameters back for one argument.
  e = raised([&] { object->invoke("Count", {Arg::byVal(Value("a"))}); });
  EXPECT_EQ(e.description().rfind("Count: " + std::string(texts::kUndecodable), 0), 0u) << e.description();
}

TEST_F(DataSpaceTest, UnreachableHostAndTimeoutNameTheCause) {
  int unused = 0;
  {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    unused = ntohs(addr.sin_port);
    close(s);
  }
  auto object = space_.createObject("CVBO_V2.Init", "http://127.0.0.1:" + std::to_string(unused));
  RuntimeError e = raised([&] { object->invoke("GetLoginServersXML", {}); });
  EXPECT_EQ(e.number(), kErrRemote);
  EXPECT_EQ(e.description(), "GetLoginServersXML: could not reach 127.0.0.1:" + std::to_string(unused) +
                                 " (connection refused)");

  // An answer that stalls after the connection was made is the answer's timeout, on a fresh
  // connection and on a kept-alive one alike.
  endpoint_.answer([this](const RdsEndpoint::Call& c) {
    return c.member == "Ping" ? RdsEndpoint::Reply{200, rds::encodeResponseBody({}, std::nullopt)}
                              : endpoint_.hold();
  });
  DataSpace hasty(*http_, CallLimits{2000, 300});
  auto slow = hasty.createObject("CVBO_V2.Init", endpoint_.url());
  const std::string stalled = "Slow: " + std::string(platform::http_texts::kTimedOut) + "0.3 s";
  e = raised([&] { slow->invoke("Slow", {}); });
  EXPECT_EQ(e.description(), stalled);
  auto kept = platform::makeHttpClient();
  DataSpace keptSpace(*kept, CallLimits{2000, 300});
  auto again = keptSpace.createObject("CVBO_V2.Init", endpoint_.url());
  again->invoke("Ping", {});
  e = raised([&] { again->invoke("Slow", {}); });
  EXPECT_EQ(e.description(), stalled);
  EXPECT_EQ(endpoint_.calls().back().remotePort, endpoint_.calls()[endpoint_.calls().size() - 2].remotePort);
}

TEST_F(DataSpaceTest, ConnectionIsKeptAliveAcrossCalls) {
  auto object = space_.createObject("CVBO_V2.Init", endpoint_.url());
  for (int i = 0; i < 3; ++i) object->invoke("Ping", {});
  auto second = space_.createObject("CVBO_V2.Init", endpoint_.url());
  second->invoke("Ping", {});
  auto calls = endpoint_.calls();
  ASSERT_EQ(calls.size(), 4u);
  for (const auto& c : calls) EXPECT_EQ(c.remotePort, calls[0].remotePort);
}

TEST_F(DataSpaceTest, SelfSignedCertificateIsRefused) {
  std::string cert = temp_.file("cert.pem"), key = temp_.file("key.pem");
  std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
                    " -addext subjectAltName=IP:127.0.0.1 -keyout '" + key + "' -out '" + cert +
                    "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  RdsEndpoint secure(std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str()));
  auto object = space_.createObject("CVBO_V2.Init", secure.url("https"));
  RuntimeError e = raised([&] { object->invoke("GetLoginServersXML", {}); });
  EXPECT_EQ(e.number(), kErrRemote);
  EXPECT_EQ(e.description().rfind("GetLoginServersXML: " + std::string(texts::kTlsFailed) + "127.0.0.1:" +
                                      std::to_string(secure.port()) + std::string(texts::kFailed),
                                  0),
            0u)
      << e.description();
  EXPECT_NE(e.description().find("certificate"), std::string::npos) << e.description();
  EXPECT_TRUE(secure.calls().empty());
}

TEST_F(DataSpaceTest, UrlWithoutSchemeAndHostIsRefused) {
  for (const char* url : {"127.0.0.1", " http://host", "ftp://host", "http://", "http://:80",
                          "http://host:99999", "http://ho st/", ""}) {
    RuntimeError e = raised([&] { space_.createObject("CVBO_V2.Init", url); });
    EXPECT_EQ(e.description(), std::string(texts::kCreateObject) + url + std::string(texts::kBadUrl));
  }
  EXPECT_NO_THROW(space_.createObject("X.Y", "HTTPS://[::1]:8443"));
  EXPECT_TRUE(endpoint_.calls().empty());
}

TEST_F(DataSpaceTest, HttpClientStreamsToSinkAndStopsWhenTold) {
  httplib::Server files;
  std::string big(1 << 20, 'z');
  files.Get("/big", [&](const httplib::Request&, httplib::Response& res) { res.set_content(big, "text/plain"); });
  int port = files.bind_to_any_port("127.0.0.1");
  std::thread t([&] { files.listen_after_bind(); });
  while (!files.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  platform::HttpRequest get;
  get.method = "GET";
  get.url = "http://127.0.0.1:" + std::to_string(port) + "/big";
  std::size_t received = 0, chunks = 0;
  auto r = http_->sendToSink(get, [&](const char* p, std::size_t n) {
    received += std::count(p, p + n, 'z');
    ++chunks;
    return true;
  });
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.header("CONTENT-TYPE"), "text/plain");
  EXPECT_TRUE(r.body.empty());
  EXPECT_EQ(r.bodyBytes, static_cast<long long>(big.size()));
  EXPECT_EQ(received, big.size());
  EXPECT_GT(chunks, 1u);
  try {
    http_->sendToSink(get, [](const char*, std::size_t) { return false; });
    ADD_FAILURE() << "no HttpError";
  } catch (const platform::HttpError& e) {
    EXPECT_EQ(e.kind(), platform::HttpError::Kind::Other);
    EXPECT_EQ(e.what(), std::string(platform::http_texts::kAborted));
  }
  http_.reset();
  files.stop();
  t.join();
}

}  // namespace
}  // namespace zentro
