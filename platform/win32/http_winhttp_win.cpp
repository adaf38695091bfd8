// HttpClient over WinHTTP: the system's proxy settings and certificate store. One session per
// client; WinHTTP keeps its connections alive in the session, so calls to the same host reuse
// them.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/http.h"
#include "platform/http_texts.h"
#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

namespace texts = http_texts;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kUserAgent[] = L"VMIZentro";
constexpr long kStallMs = 60000;
constexpr std::size_t kChunk = 64 * 1024;
// WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY: the system's whole proxy configuration (Windows 8.1+).
constexpr DWORD kAutomaticProxy = 4;

bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lx = static_cast<unsigned char>(x), ly = static_cast<unsigned char>(y);
           return (lx >= 'A' && lx <= 'Z' ? lx + 32 : lx) == (ly >= 'A' && ly <= 'Z' ? ly + 32 : ly);
         });
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
    s.remove_suffix(1);
  }
  return s;
}

// "0.3 s", "60 s"
std::string seconds(long ms) {
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(ms) / 1000.0);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  return s + " s";
}

class Handle {
 public:
  explicit Handle(HINTERNET h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_) WinHttpCloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  void reset(HINTERNET h) {
    if (h_) WinHttpCloseHandle(h_);
    h_ = h;
  }
  HINTERNET get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HINTERNET h_;
};

// The stage a failure happened in decides what a timeout means.
enum class Stage { Connect, Answer };

struct Target {
  std::wstring host;
  INTERNET_PORT port = 0;
  bool secure = false;
  std::wstring pathAndQuery;
  std::wstring url;
};

Target crack(const std::string& url) {
  Target t;
  t.url = win32::toWide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (t.url.empty() || !WinHttpCrackUrl(t.url.c_str(), 0, 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
      parts.dwHostNameLength == 0) {
    throw HttpError(HttpError::Kind::Other, "unsupported or malformed URL: " + url);
  }
  t.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  t.port = parts.nPort;
  t.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  t.pathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  t.pathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (t.pathAndQuery.empty()) t.pathAndQuery = L"/";
  return t;
}

std::wstring queryRawHeaders(HINTERNET request) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                           text.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
    return {};
  }
  text.resize(size / sizeof(wchar_t));
  return text;
}

void fillHeaders(HttpResponse& r, const std::string& block) {
  r.headerText = block;
  std::size_t start = 0;
  bool first = true;
  while (start < block.size()) {
    std::size_t end = block.find("\r\n", start);
    if (end == std::string::npos) end = block.size();
    std::string_view line(block.data() + start, end - start);
    if (first) {
      r.statusLine = std::string(trimmed(line));
      first = false;
    } else if (std::size_t colon = line.find(':'); colon != std::string_view::npos) {
      r.headers.emplace_back(std::string(trimmed(line.substr(0, colon))),
                             std::string(trimmed(line.substr(colon + 1))));
    }
    start = end + 2;
  }
}

class WinHttpClient final : public HttpClient {
 public:
  WinHttpClient() { openSession(); }

  HttpResponse send(const HttpRequest& request) override { return perform(request, nullptr); }

  HttpResponse sendToSink(const HttpRequest& request,
                          const std::function<bool(const char*, std::size_t)>& sink) override {
    return perform(request, &sink);
  }

 private:
  void openSession() {
    session_.reset(WinHttpOpen(kUserAgent, kAutomaticProxy, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
    if (session_) return;
    // Older systems: the user's (Internet Options) proxy settings, applied per request.
    session_.reset(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
    if (WinHttpGetIEProxyConfigForCurrentUser(&ie)) {
      if (ie.lpszProxy) userProxy_ = ie.lpszProxy;
      if (ie.lpszProxyBypass) userBypass_ = ie.lpszProxyBypass;
      if (ie.lpszAutoConfigUrl) autoConfigUrl_ = ie.lpszAutoConfigUrl;
      autoDetect_ = ie.fAutoDetect != FALSE;
      for (LPWSTR s : {ie.lpszProxy, ie.lpszProxyBypass, ie.lpszAutoConfigUrl}) {
        if (s) GlobalFree(s);
      }
    }
  }

  void applyUserProxy(HINTERNET request, const Target& target) {
    WINHTTP_PROXY_INFO info{};
    if (autoDetect_ || !autoConfigUrl_.empty()) {
      WINHTTP_AUTOPROXY_OPTIONS options{};
      options.fAutoLogonIfChallenged = TRUE;
      if (!autoConfigUrl_.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = autoConfigUrl_.c_str();
      } else {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
      }
      if (WinHttpGetProxyForUrl(session_.get(), target.url.c_str(), &options, &info)) {
        WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info);
        if (info.lpszProxy) GlobalFree(info.lpszProxy);
        if (info.lpszProxyBypass) GlobalFree(info.lpszProxyBypass);
        return;
      }
    }
    if (userProxy_.empty()) return;
    info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    info.lpszProxy = userProxy_.data();
    info.lpszProxyBypass = userBypass_.empty() ? nullptr : userBypass_.data();
    WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info);
  }

  HINTERNET connectionFor(const Target& t) {
    if (!connect_ || t.host != connectHost_ || t.port != connectPort_) {
      connect_.reset(WinHttpConnect(session_.get(), t.host.c_str(), t.port, 0));
      connectHost_ = t.host;
      connectPort_ = t.port;
    }
    if (!connect_) failWith(GetLastError(), Stage::Connect, HttpRequest{}, 0);
    return connect_.get();
  }

  [[noreturn]] void failWith(DWORD code, Stage stage, const HttpRequest& request,
                             long long received) {
    using Kind = HttpError::Kind;
    switch (code) {
      case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        throw HttpError(Kind::Unreachable, std::string(texts::kHostNotFound));
      case ERROR_WINHTTP_CANNOT_CONNECT:
        throw HttpError(Kind::Unreachable, win32::errorText(code));
      case ERROR_WINHTTP_TIMEOUT: {
        if (stage == Stage::Connect) {
          long limit = request.connectTimeoutMs;
          if (request.totalTimeoutMs > 0 && request.totalTimeoutMs < limit) limit = request.totalTimeoutMs;
          throw HttpError(Kind::Timeout, std::string(texts::kNoConnection) + seconds(limit));
        }
        if (request.totalTimeoutMs > 0) {
          throw HttpError(Kind::Timeout,
                          std::string(texts::kTimedOut) + seconds(request.totalTimeoutMs));
        }
        throw HttpError(Kind::Timeout, std::string(texts::kStalled));
      }
      case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      case ERROR_WINHTTP_CONNECTION_ERROR:
        if (received == 0 && stage == Stage::Connect) {
          throw HttpError(Kind::Cut, std::string(texts::kNoResponse));
        }
        throw HttpError(Kind::Cut, win32::errorText(code));
      case ERROR_WINHTTP_SECURE_FAILURE:
      case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      case ERROR_WINHTTP_SECURE_INVALID_CERT:
      case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
      case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
      case ERROR_WINHTTP_SECURE_INVALID_CA:
      case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
      case ERROR_WINHTTP_SECURE_CERT_REVOKED:
      case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
        throw HttpError(Kind::Tls, win32::errorText(code));
      default:
        throw HttpError(Kind::Other, win32::errorText(code));
    }
  }

  HttpResponse perform(const HttpRequest& request,
                       const std::function<bool(const char*, std::size_t)>* sink) {
    if (!session_) throw HttpError(HttpError::Kind::Other, "the HTTP library could not start");
    const bool isPost = request.method == "POST";
    if (!isPost && request.method != "GET") {
      throw HttpError(HttpError::Kind::Other, std::string(texts::kBadMethod) + request.method);
    }
    const Target target = crack(request.url);
    const Clock::time_point started = Clock::now();

    Handle req(WinHttpOpenRequest(connectionFor(target), isPost ? L"POST" : L"GET",
                                  target.pathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
                                  WINHTTP_DEFAULT_ACCEPT_TYPES,
                                  target.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!req) failWith(GetLastError(), Stage::Connect, request, 0);

    const int connectMs = static_cast<int>(request.connectTimeoutMs);
    const int answerMs = static_cast<int>(request.totalTimeoutMs > 0 ? request.totalTimeoutMs
                                                                     : kStallMs);
    WinHttpSetTimeouts(req.get(), connectMs, connectMs, answerMs, answerMs);
    // Cookies are not this client's business; a POST is never redirected (its answer is the
    // call's result), downloads follow redirects as browsers do.
    DWORD disabled = WINHTTP_DISABLE_COOKIES | (isPost ? WINHTTP_DISABLE_REDIRECTS : 0);
    WinHttpSetOption(req.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled);
    applyUserProxy(req.get(), target);

    std::wstring headerBlock;
    for (const auto& [name, value] : request.headers) {
      headerBlock += win32::toWide(name + ": " + value) + L"\r\n";
    }
    if (!headerBlock.empty() &&
        !WinHttpAddRequestHeaders(req.get(), headerBlock.c_str(),
                                  static_cast<DWORD>(headerBlock.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
      failWith(GetLastError(), Stage::Connect, request, 0);
    }

    const DWORD bodySize = static_cast<DWORD>(isPost ? request.body.size() : 0);
    LPVOID body = bodySize ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA;
    if (!WinHttpSendRequest(req.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, body, bodySize,
                            bodySize, 0)) {
      failWith(GetLastError(), Stage::Connect, request, 0);
    }
    if (!WinHttpReceiveResponse(req.get(), nullptr)) {
      failWith(GetLastError(), Stage::Connect, request, 0);
    }

    HttpResponse response;
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    WinHttpQueryHeaders(req.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                        WINHTTP_NO_HEADER_INDEX);
    response.status = static_cast<int>(status);
    fillHeaders(response, win32::fromWide(queryRawHeaders(req.get())));

    std::vector<char> buffer(kChunk);
    for (;;) {
      if (request.totalTimeoutMs > 0 &&
          Clock::now() - started > std::chrono::milliseconds(request.totalTimeoutMs)) {
        throw HttpError(HttpError::Kind::Timeout,
                        std::string(texts::kTimedOut) + seconds(request.totalTimeoutMs));
      }
      DWORD n = 0;
      if (!WinHttpReadData(req.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n)) {
        failWith(GetLastError(), Stage::Answer, request, response.bodyBytes);
      }
      if (n == 0) break;
      response.bodyBytes += n;
      if (sink) {
        if (!(*sink)(buffer.data(), n)) {
          throw HttpError(HttpError::Kind::Other, std::string(texts::kAborted));
        }
        continue;
      }
      if (response.bodyBytes > texts::kMaxInMemoryBody) {
        throw HttpError(HttpError::Kind::Other, std::string(texts::kTooLarge));
      }
      response.body.append(buffer.data(), n);
    }
    return response;
  }

  Handle session_;
  Handle connect_;
  std::wstring connectHost_;
  INTERNET_PORT connectPort_ = 0;
  std::wstring userProxy_;
  std::wstring userBypass_;
  std::wstring autoConfigUrl_;
  bool autoDetect_ = false;
};

}  // namespace

std::string HttpResponse::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (equalsNoCaseAscii(key, name)) return value;
  }
  return {};
}

std::unique_ptr<HttpClient> makeHttpClient() { return std::make_unique<WinHttpClient>(); }

}  // namespace zentro::platform
