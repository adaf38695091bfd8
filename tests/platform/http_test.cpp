// The HTTP client, one contract for both systems (Linux libcurl, Windows WinHTTP), against the
// tests' loopback server, and what both clients share: the refusal of a redirect from https
// down to http, which the Windows client must recognise in the redirect it is handed back.
#include "platform/http.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>

#include "platform/http_texts.h"
#include "tests/support/loopback_http.h"

namespace zentro::platform {
namespace {

using ::testing::AllOf;
using ::testing::Property;
using ::testing::Throws;
using ::testing::ThrowsMessage;
using Kind = HttpError::Kind;
using zentro::testing::HttpReply;
using zentro::testing::LoopbackHttp;

class HttpClientTest : public ::testing::Test {
 protected:
  std::mutex mutex_;
  zentro::testing::HttpRequest received_;
  LoopbackHttp server_{[this](const zentro::testing::HttpRequest& request) {
    std::lock_guard lock(mutex_);
    received_ = request;
    HttpReply reply;
    reply.status = request.target == "/missing" ? 404 : 200;
    reply.contentType = "text/plain";
    // A body that trickles in for seconds.
    if (request.target == "/slow") reply.trickleMs = 20;
    reply.body = request.target == "/slow" ? std::string(16 * 500, 's') : "hello";
    return reply;
  }};
  std::unique_ptr<HttpClient> client_ = makeHttpClient();
};

TEST_F(HttpClientTest, PostSendsExactlyTheGivenHeadersAndReadsTheAnswer) {
  HttpRequest request;
  request.url = server_.url() + "/msadc/msadcs.dll/CVBO_V2.Init.GetLoginServers?x=1";
  request.headers = {{"Content-Type", "multipart/mixed; boundary=b"},
                     {"Proxy-Connection", "Keep-Alive"}};
  request.body = "body bytes";
  HttpResponse r = client_->send(request);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.statusLine, "HTTP/1.1 200 OK");
  EXPECT_EQ(r.body, "hello");
  EXPECT_EQ(r.bodyBytes, 5);
  EXPECT_EQ(r.header("CONTENT-type"), "text/plain");
  EXPECT_NE(r.headerText.find("Content-Type: text/plain\r\n"), std::string::npos);
  std::lock_guard lock(mutex_);
  EXPECT_EQ(received_.method, "POST");
  EXPECT_EQ(received_.target, "/msadc/msadcs.dll/CVBO_V2.Init.GetLoginServers?x=1");
  EXPECT_EQ(received_.header("Content-Type"), "multipart/mixed; boundary=b");
  EXPECT_EQ(received_.header("Proxy-Connection"), "Keep-Alive");
  EXPECT_EQ(received_.body, "body bytes");
}

TEST_F(HttpClientTest, DownloadsGoToTheSinkAndErrorStatusesAreAnswers) {
  HttpRequest request;
  request.method = "GET";
  request.url = server_.url() + "/missing";
  std::string received;
  HttpResponse r = client_->sendToSink(request, [&](const char* data, std::size_t n) {
    received.append(data, n);
    return true;
  });
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.statusLine, "HTTP/1.1 404 Not Found");
  EXPECT_TRUE(r.body.empty());
  EXPECT_EQ(received, "hello");
  EXPECT_EQ(r.bodyBytes, 5);
  // A sink that refuses stops the transfer.
  const auto refuse = [](const char*, std::size_t) { return false; };
  EXPECT_THAT([&] { client_->sendToSink(request, refuse); },
              ThrowsMessage<HttpError>(std::string(http_texts::kAborted)));
}

TEST_F(HttpClientTest, FailuresAreTyped) {
  HttpRequest request;
  request.url = "http://127.0.0.1:" + std::to_string(zentro::testing::unusedLoopbackPort()) + "/";
  const auto send = [&] { client_->send(request); };
  EXPECT_THAT(send, Throws<HttpError>(AllOf(Property(&HttpError::kind, Kind::Unreachable),
                                            Property(&HttpError::transient, true))));

  request.method = "PUT";
  request.url = server_.url() + "/";
  EXPECT_THAT(send, ThrowsMessage<HttpError>(std::string(http_texts::kBadMethod) + "PUT"));

  // Data that keeps arriving does not stretch a call beyond its overall limit.
  request.method = "POST";
  request.url = server_.url() + "/slow";
  request.totalTimeoutMs = 1500;
  const std::string timedOut = std::string(http_texts::kTimedOut) + "1.5 s";
  EXPECT_THAT(send, Throws<HttpError>(AllOf(Property(&HttpError::kind, Kind::Timeout),
                                            Property(&HttpError::what, timedOut))));
}

TEST(HttpSharedTest, OnlyARedirectFromHttpsToHttpIsInsecure) {
  const struct {
    const char* url;
    int status;
    const char* location;
    bool insecure;
  } rows[] = {
      {"HTTPS://h/a.bin", 302, "http://other/a.bin", true}, {"HTTPS://h/", 301, " HTTP://o/", true},
      {"HTTPS://h/a.bin", 307, "https://other/a.bin", false}, {"HTTPS://h/", 302, "/rel", false},
      {"HTTPS://h/a.bin", 200, "http://other/", false}, {"HTTPS://h/", 404, "http://o/", false},
      {"http://h/a.bin", 302, "http://other/a.bin", false}, {"HTTPS://h/", 302, "", false},
  };
  for (const auto& r : rows) {
    HttpRequest request;
    request.url = r.url;
    EXPECT_EQ(http_detail::isInsecureRedirect(request, r.status, r.location), r.insecure)
        << r.url << " " << r.status << " " << r.location;
  }
}

}  // namespace
}  // namespace zentro::platform
