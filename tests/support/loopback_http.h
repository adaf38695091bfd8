#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the tests, on plain sockets so that the Linux and
// the Windows test programs share it: one thread per connection, kept alive between requests,
// request bodies by Content-Length. Every request goes to the handler on its connection's
// thread; the handler must be safe for that. Also a one-shot client for the tests' own calls.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace zentro::testing {

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
using HttpHeaders = std::multimap<std::string, std::string, NoCaseLess>;

struct HttpRequest {
  std::string method;
  std::string target;      // as sent: path and query
  HttpHeaders headers;
  std::string body;
  int remotePort = 0;
  std::string header(const std::string& name) const;  // "" when absent
};

struct HttpReply {
  int status = 200;
  std::string body;
  std::string contentType = "application/octet-stream";
  bool chunked = false;     // sent chunked, without a Content-Length
  bool hangUp = false;      // the connection closes without any answer
  // > 0: the body goes out 16 bytes at a time, one piece every `trickleMs`, for as long as
  // the client keeps reading.
  int trickleMs = 0;
  // > 0: the body is `streamSize` bytes made piece by piece by `stream(offset)` (never empty
  // before the end) while they are sent, so a huge answer is never held whole.
  std::uint64_t streamSize = 0;
  std::function<std::string(std::uint64_t offset)> stream;
};

class LoopbackHttp {
 public:
  using Handler = std::function<HttpReply(const HttpRequest&)>;
  // Listens at once on a free port. Throws std::runtime_error when it cannot.
  explicit LoopbackHttp(Handler handler);
  // Closes the listener and every connection, then waits for their threads.
  ~LoopbackHttp();
  LoopbackHttp(const LoopbackHttp&) = delete;
  LoopbackHttp& operator=(const LoopbackHttp&) = delete;

  int port() const;
  std::string url() const;  // "http://127.0.0.1:<port>"

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// One request to `host` (a loopback IPv4 address):`port` on a connection of its own, with
// `headers` besides Host, Connection and Content-Length; every wait is bounded by `timeout`.
// status 0 when no answer came; `complete` false when the body ended before its length.
struct HttpAnswer {
  int status = 0;
  HttpHeaders headers;
  std::string body;
  bool complete = false;
};
HttpAnswer httpRequest(int port, const std::string& method, const std::string& target,
                       const std::string& body, std::chrono::seconds timeout,
                       const std::string& host = "127.0.0.1", const HttpHeaders& headers = {});

// A loopback port nothing listens on (it was free a moment ago).
int unusedLoopbackPort();

}  // namespace zentro::testing
