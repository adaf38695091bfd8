#include "remote/data_space.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/http_texts.h"
#include "remote/data_space_texts.h"
#include "remote/rds_wire.h"
#include "platform/runtime_error.h"
#include "tests/remote/remote_support.h"
#include "tests/support/fault_proxy.h"
#include "tests/support/ref_service_fixture.h"
#include "tests/support/test_system.h"

namespace zentro {
namespace {

namespace texts = data_space_texts;
using testing::HttpReply;
using testing::HttpRequest;
using testing::raised;

// The reference service, and the fault proxy in front of it for answers the service never
// gives (values of the test's choice, undecodable bodies) and for what the client sent.
class DataSpaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.set("no_proxy", "127.0.0.1");
    ref_.start(testing::filesWorld({}));
    proxy_ = std::make_unique<testing::FaultProxy>(ref_.baseUrl());
  }

  // Calls of `member` through the proxy answer `body` (an encoded answer), whatever the
  // service said.
  void answer(const std::string& member, std::string body) {
    proxy_->editAnswer("." + member, [body](const HttpRequest&, HttpReply& r) { r.body = body; });
  }
  void answer(const std::string& member, const std::vector<Value>& params,
              const std::optional<Value>& result) {
    answer(member, rds::encodeResponseBody(params, result));
  }

  testing::ScopedEnv env_;
  testing::ScopedRefService ref_;
  std::unique_ptr<testing::FaultProxy> proxy_;
  std::unique_ptr<platform::HttpClient> http_ = platform::makeHttpClient();
  DataSpace space_{*http_};
};

const ErrorValue kLoginFailure{static_cast<std::int32_t>(0x80020009u),
                                static_cast<std::int32_t>(0x800A0E7Au), true, "ADODB.Connection",
                                "Login failed", ""};

TEST_F(DataSpaceTest, CallWritesBackByReferenceArgumentsOnly) {
  answer("GetDeploymentsXML", {Value("NEW"), Value(std::int32_t{-1}), Value(std::int32_t{7}), Value("changed")},
         Value("OK"));
  // The URL's user info, path and query take no part in the call.
  auto object = space_.createObject("CVBO_V2.Init", "http://user:pw@" + proxy_->url().substr(7) + "/x/y?z=1");
  std::string text = "abc";
  bool flag = false;
  Value variant(1.5);
  std::string byValue = "keep";
  Value result = object->invoke("GetDeploymentsXML", {Arg::byRef(text), Arg::byRef(flag), Arg::byRef(variant),
                                                      Arg::byVal(Value(byValue))});
  EXPECT_EQ(result, Value("OK"));
  EXPECT_EQ(text, "NEW");
  EXPECT_TRUE(flag);
  EXPECT_EQ(variant, Value(std::int32_t{7}));
  EXPECT_EQ(byValue, "keep");

  auto calls = ref_.calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].progId, "CVBO_V2.Init");
  EXPECT_EQ(calls[0].member, "GetDeploymentsXML");
  EXPECT_EQ(calls[0].args, (std::vector<Value>{Value("abc"), Value(false), Value(1.5), Value("keep")}));
  const HttpRequest sent = proxy_->seen().at(0);
  EXPECT_EQ(sent.header("User-Agent"), "ACTIVEDATA");
  EXPECT_EQ(sent.header("Cache-Control"), "no-cache");
  EXPECT_EQ(sent.header("Connection"), "Keep-Alive");
  for (const char* name : {"Content-Type", "Accept", "Authorization"}) {
    EXPECT_EQ(sent.headers.count(name), 0u) << name;
  }

  // A Sub returns Empty; a Null that a text variable cannot hold leaves it alone.
  answer("Sub", {Value::null()}, std::nullopt);
  EXPECT_EQ(object->invoke("Sub", {Arg::byRef(text)}), Value());
  EXPECT_EQ(text, "NEW");

  // Arrays in an answer are data, not a transport failure: a variant takes them, a text
  // variable (which cannot hold one) keeps its value.
  const Value statuses(ArrayValue{0x0C, {{2, 0}}, {Value(std::int32_t{0}), Value(kLoginFailure)}});
  answer("Synchronize", {statuses, statuses}, statuses);
  EXPECT_EQ(object->invoke("Synchronize", {Arg::byRef(variant), Arg::byRef(text)}), statuses);
  EXPECT_EQ(variant, statuses);
  EXPECT_EQ(text, "NEW");
}

// Every failed call raises a RuntimeError: remote errors with their number, source and
// description (the service's own errors among them), HTTP failures and unreadable answers.
TEST_F(DataSpaceTest, FailedCallsRaiseNumberSourceAndMember) {
  const ErrorValue plain{static_cast<std::int32_t>(0x80070057u), 0, false, "", "", ""};
  answer("Failed", rds::encodeErrorBody(kLoginFailure));
  answer("Plain", rds::encodeErrorBody(plain));
  answer("Garbage", "<html>not an answer</html>");
  answer("Count", {Value(), Value()}, std::nullopt);  // two parameters back for one argument
  ref_.setMemberFault("", "isValidLogin", refservice::Fault{refservice::Fault::Kind::Status500});
  const std::string undecodable(texts::kUndecodable);
  const struct {
    const char* member;
    long number;
    const char* source;
    std::string description;  // ending in "..." when only its start is known
  } rows[] = {
      {"Failed", static_cast<std::int32_t>(0x800A0E7Au), "ADODB.Connection", "Failed: Login failed"},
      {"Unknown", static_cast<std::int32_t>(0x80070057u), "CVBO_V2.Init", "Unknown: unknown member Unknown"},
      {"Plain", static_cast<std::int32_t>(0x80070057u), "CVBO_V2.Init",
       "Plain: " + std::string(texts::kRemoteError) + "0x80070057"},
      {"isValidLogin", kErrRemote, "CVBO_V2.Init",
       "isValidLogin: the server answered HTTP 500 Internal Server Error"},
      {"Garbage", kErrRemote, "CVBO_V2.Init", "Garbage: " + undecodable + "..."},
      {"Count", kErrRemote, "CVBO_V2.Init", "Count: " + undecodable + "..."},
  };
  auto object = space_.createObject("CVBO_V2.Init", proxy_->url());
  for (const auto& row : rows) {
    RuntimeError e = raised([&] { object->invoke(row.member, {Arg::byVal(Value("a"))}); });
    EXPECT_EQ(e.number(), row.number) << row.member;
    EXPECT_EQ(e.source(), row.source) << row.member;
    const auto known = row.description.ends_with("...") ? row.description.size() - 3 : std::string::npos;
    EXPECT_EQ(e.description().substr(0, known), row.description.substr(0, known));
  }
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
  if (!testing::kWindows) {
    EXPECT_EQ(e.description(), unreachable + "connection refused)");
  }

  // An answer that stalls after the connection was made is the answer's timeout, on a fresh
  // connection and on a kept-alive one (after the Ping) alike.
  answer("Ping", {}, std::nullopt);
  ref_.setMemberFault("", "GetDeploymentsXML", refservice::Fault{refservice::Fault::Kind::Delay, 1500});
  DataSpace hasty(*http_, CallLimits{2000, 300});
  auto slow = hasty.createObject("CVBO_V2.Init", proxy_->url());
  const std::string stalled =
      "GetDeploymentsXML: " + std::string(platform::http_texts::kTimedOut) + "0.3 s";
  EXPECT_EQ(raised([&] { slow->invoke("GetDeploymentsXML", {}); }).description(), stalled);
  slow->invoke("Ping", {});
  EXPECT_EQ(raised([&] { slow->invoke("GetDeploymentsXML", {}); }).description(), stalled);
  const auto seen = proxy_->seen();
  EXPECT_EQ(seen.back().remotePort, seen[seen.size() - 2].remotePort);
}

TEST_F(DataSpaceTest, UrlWithoutSchemeAndHostIsRefused) {
  for (const char* url : {"127.0.0.1", " http://host", "ftp://host", "http://", "http://:80",
                          "http://host:99999", "http://ho st/", ""}) {
    RuntimeError e = raised([&] { space_.createObject("CVBO_V2.Init", url); });
    EXPECT_EQ(e.description(), std::string(texts::kCreateObject) + url + std::string(texts::kBadUrl));
  }
  EXPECT_NO_THROW(space_.createObject("X.Y", "HTTPS://[::1]:8443"));
  EXPECT_TRUE(proxy_->seen().empty());
}

}  // namespace
}  // namespace zentro
