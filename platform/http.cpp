// The portable half of platform/http.h: the response's header lookup and the pieces both
// clients share. The transfers themselves are posix/http_curl.cpp (Linux) and
// win32/http_winhttp_win.cpp (Windows).
#include "platform/http.h"

#include <cstdio>

#include "platform/ascii_text.h"
#include "platform/http_texts.h"

namespace zentro::platform {
namespace {

// "0.3 s", "60 s"
std::string seconds(long ms) {
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(ms) / 1000.0);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  return s + " s";
}

}  // namespace

std::string HttpResponse::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (equalsNoCaseAscii(key, name)) return value;
  }
  return {};
}

namespace http_detail {

void readHeaderLine(HttpResponse& response, std::string_view line) {
  if (line.substr(0, 5) == "HTTP/") {
    response.statusLine = std::string(trim(line, kWhiteSpace));
    response.headers.clear();
  } else if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
    response.headers.emplace_back(trim(line.substr(0, colon), kWhiteSpace),
                                  trim(line.substr(colon + 1), kWhiteSpace));
  }
}

bool isPost(const HttpRequest& request) {
  if (request.method == "POST") return true;
  if (request.method == "GET") return false;
  throw HttpError(HttpError::Kind::Other, std::string(http_texts::kBadMethod) + request.method);
}

HttpError timeoutError(const HttpRequest& request, bool connected) {
  using Kind = HttpError::Kind;
  if (!connected) {
    long limit = request.connectTimeoutMs;
    if (request.totalTimeoutMs > 0 && request.totalTimeoutMs < limit) limit = request.totalTimeoutMs;
    return HttpError(Kind::Timeout, std::string(http_texts::kNoConnection) + seconds(limit));
  }
  if (request.totalTimeoutMs > 0) {
    return HttpError(Kind::Timeout,
                     std::string(http_texts::kTimedOut) + seconds(request.totalTimeoutMs));
  }
  return HttpError(Kind::Timeout, std::string(http_texts::kStalled));
}

bool isHttps(std::string_view url) { return startsWithNoCaseAscii(url, "https:"); }

bool isInsecureRedirect(const HttpRequest& request, int status, std::string_view location) {
  location = trim(location, kWhiteSpace);
  return status / 100 == 3 && isHttps(request.url) && startsWithNoCaseAscii(location, "http:");
}

}  // namespace http_detail
}  // namespace zentro::platform
