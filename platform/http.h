#pragma once
// HTTP(S) client seam. Linux: libcurl (http_curl.cpp); Windows: WinHTTP/WinINet.
// TLS certificate verification is always on, against the operating system's CA store;
// proxies come from its settings (on Linux the usual *_proxy environment variables).
// One client object keeps its connection alive across calls. A client object is used by one
// thread at a time; separate objects may be used on separate threads.

#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zentro::platform {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
  std::string method = "POST";  // "POST" or "GET"
  std::string url;
  HeaderList headers;           // sent as given, in order
  std::string body;
  long connectTimeoutMs = 15000;
  long totalTimeoutMs = 60000;  // 0 = no overall limit (downloads use a low-speed limit instead)
};

struct HttpResponse {
  int status = 0;               // e.g. 200
  std::string statusLine;       // "HTTP/1.1 404 Object Not Found"
  std::string headerText;       // the whole header block of the final response, CRLF lines
  HeaderList headers;
  std::string body;             // empty when the body went to a sink
  long long bodyBytes = 0;      // bytes received
  // Value of a header, matched without regard to case; "" when absent.
  std::string header(const std::string& name) const;
};

// Transport failure: nothing usable came back.
class HttpError : public std::runtime_error {
 public:
  enum class Kind { Unreachable, Timeout, Tls, Cut, Other };
  HttpError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
  Kind kind() const { return kind_; }
  // True for failures worth retrying: refused/reset connection, timeout before any byte.
  bool transient() const { return kind_ == Kind::Unreachable || kind_ == Kind::Timeout; }
 private:
  Kind kind_;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Sends the request and returns the whole response (any status). Throws HttpError.
  virtual HttpResponse send(const HttpRequest& request) = 0;
  // As send, but the body is handed to `sink` chunk by chunk instead of being kept; a sink
  // returning false aborts the transfer (HttpError Kind::Other). Memory stays bounded.
  virtual HttpResponse sendToSink(const HttpRequest& request,
                                  const std::function<bool(const char*, std::size_t)>& sink) = 0;
};

std::unique_ptr<HttpClient> makeHttpClient();

// What both implementations (posix/http_curl.cpp, win32/http_winhttp_win.cpp) share; http.cpp.
namespace http_detail {
// Takes one line of a response's header block (a trailing CR LF is allowed) into `response`'s
// status line and headers: a status line ("HTTP/...") starts the block afresh, since interim
// answers and redirects come first; a "Name: value" line adds a header, both parts trimmed.
void readHeaderLine(HttpResponse& response, std::string_view line);
// True for a POST, false for a GET; throws HttpError for any other method.
bool isPost(const HttpRequest& request);
// The error of a call that ran out of time: before the connection stood (`connected` false),
// within the call's overall limit, or stalled (a download without an overall limit).
HttpError timeoutError(const HttpRequest& request, bool connected);
// True when `url` starts with "https:" (in either letter case).
bool isHttps(std::string_view url);
// A 3xx answer to an https request whose Location leads to plain http: such a redirect is never
// followed, and the call fails with kInsecureRedirect rather than handing back the redirect.
bool isInsecureRedirect(const HttpRequest& request, int status, std::string_view location);
}  // namespace http_detail

}  // namespace zentro::platform
