// makeHttpClient (platform/http.h) on Windows: HttpClient over WinHTTP, with Windows' proxy
// settings and certificate store. One session per client; WinHTTP keeps its connections alive in
// the session, so calls to the same host reuse them.
//
// The session is asynchronous only so that this client can keep its own time limits: each operation
// is started, then awaited with the time left, and a request that runs out of time is cancelled by
// closing its handle. WinHTTP's own limits apply per stage (name lookup, connection, sending, each
// receive) and can add up to far more than a call may take. The calling thread still blocks for the
// whole call, as the HttpClient seam promises.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "platform/http.h"
#include "platform/http_texts.h"
#include "platform/machine_info.h"
#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

namespace texts = http_texts;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kUserAgent[] = L"VMIZentro";
constexpr long kStallMs = 60000;
constexpr std::size_t kChunk = 64 * 1024;
// WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY: Windows' whole proxy configuration (Windows 8.1+).
constexpr DWORD kAutomaticProxy = 4;
// TLS 1.0 to 1.2: what Windows 7, 8, 8.1 and Server 2008 R2 to 2012 R2 are told to offer.
// Their WinHTTP offers only SSL 3 and TLS 1.0 unless asked (Windows 7 and Server 2008 R2 need
// the update that taught WinHTTP TLS 1.1 and 1.2; without it the request is refused and
// Windows' default stays). Windows 10 and later offer TLS 1.2 (and 1.3) themselves and keep
// their administrator's choice.
constexpr DWORD kOlderSystemProtocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 |
                                        WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                                        WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;

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

// The stage a failure happened in decides what it means: a timeout before the connection was
// made is a connection timeout, after it a timeout waiting for the answer; a connection cut
// before the answer's headers is "no answer", later a cut answer.
enum class Stage { Connect, Reply, Body };

// What WinHTTP's worker threads report about one request, and the buffer its reads fill.
// Lives until both the request's owner and WinHTTP have let go of it: a closed handle can
// still see callbacks (a read completing into the buffer) until its last one, HANDLE_CLOSING.
// Whichever of the two lets go second frees it.
struct RequestState {
  RequestState() : done(CreateEventW(nullptr, FALSE, FALSE, nullptr)), buffer(kChunk) {}
  ~RequestState() {
    if (done) CloseHandle(done);
  }
  RequestState(const RequestState&) = delete;
  RequestState& operator=(const RequestState&) = delete;
  // Called by each of the two holders once; frees the state at the second call.
  void letGo() {
    if (oneHolderLeft.exchange(true)) delete this;
  }

  HANDLE done;  // the operation started last has completed (auto-reset)
  std::vector<char> buffer;
  std::atomic<bool> oneHolderLeft{false};
  std::atomic<bool> connected{false};  // a connection to the server (or proxy) is in use
  std::atomic<DWORD> error{0};
  std::atomic<DWORD> bytesRead{0};
  std::atomic<DWORD> bytesAvailable{0};
};

void CALLBACK onRequestStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                              DWORD length) {
  auto* state = reinterpret_cast<RequestState*>(context);
  if (!state) return;
  switch (status) {
    // A kept-alive connection is not made again; sending on it counts as connected too.
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
    case WINHTTP_CALLBACK_STATUS_SENDING_REQUEST:
      state->connected = true;
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      state->bytesRead = length;
      SetEvent(state->done);
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      state->bytesAvailable = info ? *static_cast<const DWORD*>(info) : 0;
      SetEvent(state->done);
      break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      SetEvent(state->done);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      state->error = info ? static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError
                          : static_cast<DWORD>(ERROR_WINHTTP_INTERNAL_ERROR);
      SetEvent(state->done);
      break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      state->letGo();  // the last callback of the handle
      break;
    default:
      break;
  }
}

constexpr DWORD kNotifications = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS |
                                 WINHTTP_CALLBACK_FLAG_HANDLES |
                                 WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER |
                                 WINHTTP_CALLBACK_FLAG_SEND_REQUEST;

// One asynchronous request handle with its state. Closing it cancels whatever is in progress
// without waiting for WinHTTP to wind it down.
class Request {
 public:
  Request() : state_(std::make_unique<RequestState>()) {}
  ~Request() {
    if (!handle_) return;  // WinHTTP never held the state
    WinHttpCloseHandle(handle_);
    state_.release()->letGo();
  }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  // Takes `handle` and routes its notifications here; false (handle closed) on failure.
  bool adopt(HINTERNET handle) {
    if (!state_->done) {
      WinHttpCloseHandle(handle);
      return false;
    }
    auto context = reinterpret_cast<DWORD_PTR>(state_.get());
    if (WinHttpSetStatusCallback(handle, onRequestStatus, kNotifications, 0) ==
            WINHTTP_INVALID_STATUS_CALLBACK ||
        !WinHttpSetOption(handle, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
      WinHttpCloseHandle(handle);
      return false;
    }
    handle_ = handle;
    return true;
  }
  HINTERNET get() const { return handle_; }
  DWORD_PTR context() const { return reinterpret_cast<DWORD_PTR>(state_.get()); }
  RequestState& state() { return *state_; }

  // Waits for the operation started last. False when `deadline` passed first.
  bool await(Clock::time_point deadline) {
    for (;;) {
      const long long left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      const DWORD ms = left <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left, 0x7FFFFFFF));
      if (WaitForSingleObject(state_->done, ms) == WAIT_OBJECT_0) return true;
      if (Clock::now() >= deadline) return false;
    }
  }

 private:
  std::unique_ptr<RequestState> state_;
  HINTERNET handle_ = nullptr;
};

// Windows 10 and later (version word's low byte is the major version).
bool offersModernTlsByDefault() { return (platform::osVersionWord() & 0xFFu) >= 10; }

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
  while (start < block.size()) {
    std::size_t end = block.find("\r\n", start);
    if (end == std::string::npos) end = block.size();
    http_detail::readHeaderLine(r, std::string_view(block.data() + start, end - start));
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
                               WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
    if (!session_) {
      // Older systems: the user's (Internet Options) proxy settings, applied per request.
      session_.reset(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
      readUserProxy();
    }
    if (session_ && !offersModernTlsByDefault()) {
      DWORD protocols = kOlderSystemProtocols;
      WinHttpSetOption(session_.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                       sizeof protocols);
    }
  }

  void readUserProxy() {
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
    // The proxy script is asked through a synchronous session of its own: the lookup is a
    // blocking call, which the asynchronous session is not meant for.
    if ((autoDetect_ || !autoConfigUrl_.empty()) && !proxySession_) {
      proxySession_.reset(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY,
                                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    }
    if ((autoDetect_ || !autoConfigUrl_.empty()) && proxySession_) {
      WINHTTP_AUTOPROXY_OPTIONS options{};
      options.fAutoLogonIfChallenged = TRUE;
      if (!autoConfigUrl_.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = autoConfigUrl_.c_str();
      } else {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
      }
      if (WinHttpGetProxyForUrl(proxySession_.get(), target.url.c_str(), &options, &info)) {
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
      case ERROR_WINHTTP_TIMEOUT:
        throw http_detail::timeoutError(request, stage != Stage::Connect);
      case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      case ERROR_WINHTTP_CONNECTION_ERROR:
        if (received == 0 && stage != Stage::Body) {
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
    if (!session_) throw HttpError(HttpError::Kind::Other, std::string(texts::kNotStarted));
    const bool isPost = http_detail::isPost(request);
    const Target target = crack(request.url);
    // The limits: the connection within connectTimeoutMs, the whole call within
    // totalTimeoutMs; without an overall limit (downloads) no single wait after the connection
    // may last longer than the stall limit.
    const Clock::time_point started = Clock::now();
    const bool overallLimit = request.totalTimeoutMs > 0;
    const Clock::time_point overall = started + std::chrono::milliseconds(request.totalTimeoutMs);
    Clock::time_point connectBy = started + std::chrono::milliseconds(request.connectTimeoutMs);
    if (overallLimit) connectBy = std::min(connectBy, overall);

    Request req;
    HINTERNET handle = WinHttpOpenRequest(connectionFor(target), isPost ? L"POST" : L"GET",
                                          target.pathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
                                          WINHTTP_DEFAULT_ACCEPT_TYPES,
                                          target.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!handle || !req.adopt(handle)) failWith(GetLastError(), Stage::Connect, request, 0);
    RequestState& state = req.state();

    // WinHTTP's own per-stage limits stay as a backstop behind the waits below.
    const int connectMs = static_cast<int>(request.connectTimeoutMs);
    const int answerMs = static_cast<int>(overallLimit ? request.totalTimeoutMs : kStallMs);
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

    // Waits for the operation just started; a timeout or failure ends the call, named by
    // whether the connection had been made, else by `stage`.
    auto complete = [&](Stage stage, long long received) {
      const Clock::time_point begun = Clock::now();
      for (;;) {
        const bool connected = state.connected;
        const Clock::time_point deadline =
            !connected ? connectBy
                       : overallLimit ? overall : begun + std::chrono::milliseconds(kStallMs);
        if (req.await(deadline)) break;
        // Connected while the connection limit ran: the answer's limit applies from here.
        if (!connected && state.connected) continue;
        failWith(ERROR_WINHTTP_TIMEOUT, connected ? stage : Stage::Connect, request, received);
      }
      // Data that keeps arriving does not stretch the call beyond its limit.
      if (overallLimit && Clock::now() >= overall) {
        failWith(ERROR_WINHTTP_TIMEOUT, state.connected ? stage : Stage::Connect, request,
                 received);
      }
      if (state.error != 0) {
        failWith(state.error, state.connected ? stage : Stage::Connect, request, received);
      }
    };

    const DWORD bodySize = static_cast<DWORD>(isPost ? request.body.size() : 0);
    LPVOID body = bodySize ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA;
    if (!WinHttpSendRequest(req.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, body, bodySize,
                            bodySize, req.context())) {
      failWith(GetLastError(), Stage::Connect, request, 0);
    }
    complete(Stage::Reply, 0);
    if (!WinHttpReceiveResponse(req.get(), nullptr)) {
      failWith(GetLastError(), Stage::Reply, request, 0);
    }
    complete(Stage::Reply, 0);

    HttpResponse response;
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    WinHttpQueryHeaders(req.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                        WINHTTP_NO_HEADER_INDEX);
    response.status = static_cast<int>(status);
    fillHeaders(response, win32::fromWide(queryRawHeaders(req.get())));
    // WinHTTP does not follow a redirect from https down to http; it hands back the redirect.
    if (http_detail::isInsecureRedirect(request, response.status, response.header("Location"))) {
      throw HttpError(HttpError::Kind::Other, std::string(texts::kInsecureRedirect));
    }

    for (;;) {
      // What has arrived is asked for first: a read for a whole buffer may wait until the
      // buffer is full, and a body that trickles would reach the sink (and its stall watch)
      // only buffer by buffer.
      if (!WinHttpQueryDataAvailable(req.get(), nullptr)) {
        failWith(GetLastError(), Stage::Body, request, response.bodyBytes);
      }
      complete(Stage::Body, response.bodyBytes);
      const DWORD available = state.bytesAvailable;
      if (available == 0) break;
      const DWORD want = std::min<DWORD>(available, static_cast<DWORD>(state.buffer.size()));
      if (!WinHttpReadData(req.get(), state.buffer.data(), want, nullptr)) {
        failWith(GetLastError(), Stage::Body, request, response.bodyBytes);
      }
      complete(Stage::Body, response.bodyBytes);
      const DWORD n = state.bytesRead;
      if (n == 0) break;
      response.bodyBytes += n;
      if (sink) {
        if (!(*sink)(state.buffer.data(), n)) {
          throw HttpError(HttpError::Kind::Other, std::string(texts::kAborted));
        }
        continue;
      }
      if (response.bodyBytes > texts::kMaxInMemoryBody) {
        throw HttpError(HttpError::Kind::Other, std::string(texts::kTooLarge));
      }
      response.body.append(state.buffer.data(), n);
    }
    return response;
  }

  Handle session_;
  Handle proxySession_;
  Handle connect_;
  std::wstring connectHost_;
  INTERNET_PORT connectPort_ = 0;
  std::wstring userProxy_;
  std::wstring userBypass_;
  std::wstring autoConfigUrl_;
  bool autoDetect_ = false;
};

}  // namespace

std::unique_ptr<HttpClient> makeHttpClient() { return std::make_unique<WinHttpClient>(); }

}  // namespace zentro::platform
