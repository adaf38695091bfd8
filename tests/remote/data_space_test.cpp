#include "remote/data_space.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/http_texts.h"
#include "remote/data_space_texts.h"
#include "remote/rds_wire.h"
#include "platform/runtime_error.h"
#include "tests/support/loopback_http.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_system.h"

namespace zentro {
namespace {

namespace texts = data_space_texts;
using testing::HttpReply;
using testing::HttpRequest;

// An RDS endpoint on loopback that decodes each call with the codec and answers through
// `answer`. Runs until destroyed.
class RdsEndpoint {
 public:
  struct Call {
    std::string progId, member;
    std::vector<Value> args;
    int remotePort = 0;
    testing::HttpHeaders headers;
  };
  struct Reply {
    int status = 200;
    std::string body;
  };
  using Answer = std::function<Reply(const Call&)>;

  ~RdsEndpoint() { release(); }

  void answer(Answer a) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(a);
  }
  std::vector<Call> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::string url() const { return server_.url(); }
  int port() const { return server_.port(); }

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
  HttpReply handle(const HttpRequest& req) {
    Call call;
    auto [progId, member] = rds::parseRequestPath(req.target);
    call.progId = progId;
    call.member = member;
    call.args = rds::decodeRequestBody(req.body, req.header("Content-Type"));
    call.remotePort = req.remotePort;
    call.headers = req.headers;
    Answer answer;
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(call);
      answer = answer_;
    }
    Reply reply = answer(call);
    HttpReply r;
    r.status = reply.status;
    r.body = reply.body;
    return r;
  }

  std::mutex mutex_;
  std::condition_variable released_;
  bool isReleased_ = false;
  std::vector<Call> calls_;
  Answer answer_ = [](const Call&) { return Reply{200, rds::encodeResponseBody({}, std::nullopt)}; };
  testing::LoopbackHttp server_{[this](const HttpRequest& req) { return handle(req); }};
};

class DataSpaceTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.set("no_proxy", "127.0.0.1"); }

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

  testing::ScopedEnv env_;
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
  const int unused = testing::unusedLoopbackPort();
  auto object = space_.createObject("CVBO_V2.Init", "http://127.0.0.1:" + std::to_string(unused));
  RuntimeError e = raised([&] { object->invoke("GetLoginServersXML", {}); });
  EXPECT_EQ(e.number(), kErrRemote);
  // The cause in parentheses is the operating system's own text.
  const std::string unreachable =
      "GetLoginServersXML: could not reach 127.0.0.1:" + std::to_string(unused) + " (";
  EXPECT_EQ(e.description().rfind(unreachable, 0), 0u) << e.description();
  if (!testing::kWindows) EXPECT_EQ(e.description(), unreachable + "connection refused)");

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
  const std::string big(1 << 20, 'z');
  testing::LoopbackHttp files([&](const HttpRequest&) {
    HttpReply reply;
    reply.body = big;
    reply.contentType = "text/plain";
    return reply;
  });
  const int port = files.port();

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
}

}  // namespace
}  // namespace zentro
