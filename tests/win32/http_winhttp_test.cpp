// The WinHTTP client against a one-shot HTTP server on loopback, written here with Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/http.h"
#include "platform/http_texts.h"

namespace zentro::platform {
namespace {

// Accepts one connection on 127.0.0.1, keeps the request it read and sends `answer`. A server
// that `holds` then keeps the connection open until the client leaves, sending one more header
// line every 50 ms when it `trickles` (headers that never end); an empty answer held is no
// answer at all.
class OneShotServer {
 public:
  enum class Then { Close, Hold, Trickle };
  explicit OneShotServer(std::string answer, Then then = Then::Close)
      : answer_(std::move(answer)), then_(then) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listener_, 1);
    int len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~OneShotServer() {
    stop_ = true;
    closesocket(listener_);
    if (thread_.joinable()) thread_.join();
    WSACleanup();
  }
  OneShotServer(const OneShotServer&) = delete;
  OneShotServer& operator=(const OneShotServer&) = delete;

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // The request as received; complete once the client has its answer.
  const std::string& request() const { return request_; }

 private:
  void serve() {
    SOCKET s = accept(listener_, nullptr, nullptr);
    if (s == INVALID_SOCKET) return;
    char buffer[4096];
    // Headers, then the body its Content-Length announces.
    for (;;) {
      int n = recv(s, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request_.append(buffer, static_cast<std::size_t>(n));
      std::size_t end = request_.find("\r\n\r\n");
      if (end == std::string::npos) continue;
      std::size_t length = 0;
      std::size_t at = request_.find("Content-Length: ");
      if (at != std::string::npos && at < end) length = std::stoul(request_.substr(at + 16));
      if (request_.size() >= end + 4 + length) break;
    }
    send(s, answer_.data(), static_cast<int>(answer_.size()), 0);
    while (then_ != Then::Close && !stop_) {
      if (then_ == Then::Trickle && send(s, "X-Pad: 1\r\n", 10, 0) <= 0) break;
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(s, &readable);
      timeval wait{0, 50000};
      const bool readable_now = select(0, &readable, nullptr, nullptr, &wait) > 0;
      if (readable_now && recv(s, buffer, sizeof buffer, 0) <= 0) break;  // the client has gone
    }
    shutdown(s, SD_SEND);
    closesocket(s);
  }

  std::string answer_;
  Then then_;
  std::atomic<bool> stop_{false};
  std::string request_;
  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::thread thread_;
};

unsigned short unusedPort() {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  closesocket(s);
  WSACleanup();
  return ntohs(addr.sin_port);
}

TEST(WinHttpClientTest, PostSendsExactlyTheGivenHeadersAndReadsTheAnswer) {
  OneShotServer server(
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-Extra: a b\r\nContent-Length: 5\r\n"
      "Connection: close\r\n\r\nhello");
  auto client = makeHttpClient();
  HttpRequest request;
  request.url = server.url("/msadc/msadcs.dll/CVBO_V2.Init.GetLoginServers?x=1");
  request.headers = {{"Content-Type", "multipart/mixed; boundary=b"},
                     {"Proxy-Connection", "Keep-Alive"}};
  request.body = "body bytes";
  HttpResponse r = client->send(request);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.statusLine, "HTTP/1.1 200 OK");
  EXPECT_EQ(r.body, "hello");
  EXPECT_EQ(r.bodyBytes, 5);
  EXPECT_EQ(r.header("x-extra"), "a b");
  EXPECT_NE(r.headerText.find("Content-Type: text/plain\r\n"), std::string::npos);
  const std::string& sent = server.request();
  EXPECT_EQ(sent.rfind("POST /msadc/msadcs.dll/CVBO_V2.Init.GetLoginServers?x=1 HTTP/1.1\r\n", 0), 0u)
      << sent;
  EXPECT_NE(sent.find("Content-Type: multipart/mixed; boundary=b\r\n"), std::string::npos);
  EXPECT_NE(sent.find("Proxy-Connection: Keep-Alive\r\n"), std::string::npos);
  EXPECT_NE(sent.find("\r\n\r\nbody bytes"), std::string::npos);
}

TEST(WinHttpClientTest, DownloadsGoToTheSinkAndErrorStatusesAreAnswers) {
  OneShotServer server("HTTP/1.1 404 Object Not Found\r\nContent-Length: 3\r\n\r\nabc");
  auto client = makeHttpClient();
  HttpRequest request;
  request.method = "GET";
  request.url = server.url("/files/app.exe");
  std::string received;
  HttpResponse r = client->sendToSink(request, [&](const char* data, std::size_t n) {
    received.append(data, n);
    return true;
  });
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.statusLine, "HTTP/1.1 404 Object Not Found");
  EXPECT_TRUE(r.body.empty());
  EXPECT_EQ(received, "abc");
  EXPECT_EQ(r.bodyBytes, 3);
}

TEST(WinHttpClientTest, TransportFailuresAreTyped) {
  auto client = makeHttpClient();
  HttpRequest request;
  // A port that was just released: nothing listens there.
  request.url = "http://127.0.0.1:" + std::to_string(unusedPort()) + "/";
  try {
    client->send(request);
    ADD_FAILURE() << "a refused connection must fail";
  } catch (const HttpError& e) {
    EXPECT_EQ(e.kind(), HttpError::Kind::Unreachable) << e.what();
    EXPECT_TRUE(e.transient());
  }
  request.method = "PUT";
  try {
    client->send(request);
    ADD_FAILURE() << "PUT is not supported";
  } catch (const HttpError& e) {
    EXPECT_EQ(std::string(e.what()), std::string(http_texts::kBadMethod) + "PUT");
  }
  OneShotServer sink("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nabcd");
  request.method = "GET";
  request.url = sink.url("/x");
  try {
    client->sendToSink(request, [](const char*, std::size_t) { return false; });
    ADD_FAILURE() << "a sink that refuses stops the transfer";
  } catch (const HttpError& e) {
    EXPECT_EQ(std::string(e.what()), std::string(http_texts::kAborted));
  }
}

TEST(WinHttpClientTest, AnAnswerThatStallsEndsAsAReplyTimeoutByTheOverallLimit) {
  // No answer at all, and headers that arrive forever: the connection was made, so neither is
  // a connection timeout, and the call ends by its overall limit however the bytes trickle.
  for (auto then : {OneShotServer::Then::Hold, OneShotServer::Then::Trickle}) {
    OneShotServer server(then == OneShotServer::Then::Hold ? "" : "HTTP/1.1 200 OK\r\n", then);
    auto client = makeHttpClient();
    HttpRequest request;
    request.url = server.url("/slow");
    request.connectTimeoutMs = 1000;
    request.totalTimeoutMs = 1500;
    try {
      client->send(request);
      ADD_FAILURE() << "a stalled answer must fail";
    } catch (const HttpError& e) {
      EXPECT_EQ(e.kind(), HttpError::Kind::Timeout);
      EXPECT_EQ(std::string(e.what()), std::string(http_texts::kTimedOut) + "1.5 s");
    }
  }
}

}  // namespace
}  // namespace zentro::platform
