// makeHttpClient (platform/http.h) on Linux: HttpClient over libcurl. One easy handle per client:
// curl keeps the connection of the last call alive in it, so calls to the same host reuse it. libcurl is loaded with the first client
// (see loaded_library.h), so the program starts without it.
#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "platform/ascii_text.h"
#include "platform/http.h"
#include "platform/http_texts.h"
#include "platform/posix/loaded_library.h"

namespace zentro::platform {
namespace {

namespace texts = http_texts;

// The libcurl functions this client calls, typed by the library's own declarations.
struct CurlCalls {
  decltype(&curl_global_init) global_init = nullptr;
  decltype(&curl_easy_init) easy_init = nullptr;
  decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&curl_easy_reset) easy_reset = nullptr;
  decltype(&curl_easy_setopt) easy_setopt = nullptr;
  decltype(&curl_easy_perform) easy_perform = nullptr;
  decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
  decltype(&curl_easy_strerror) easy_strerror = nullptr;
  decltype(&curl_slist_append) slist_append = nullptr;
  decltype(&curl_slist_free_all) slist_free_all = nullptr;
};

// libcurl, loaded and initialised once, on the first call from any thread; nullptr when it
// cannot be loaded (the reason is then in `why`). Never cleaned up: other threads may still
// hold clients when statics are destroyed.
const CurlCalls* curlCalls(std::string& why) {
  static const posix::LoadedLibrary library(ZENTRO_CURL_SONAME);
  static const CurlCalls* const calls = []() -> const CurlCalls* {
    static CurlCalls c;
    const bool found = library.find(c.global_init, "curl_global_init") &&
                       library.find(c.easy_init, "curl_easy_init") &&
                       library.find(c.easy_cleanup, "curl_easy_cleanup") &&
                       library.find(c.easy_reset, "curl_easy_reset") &&
                       library.find(c.easy_setopt, "curl_easy_setopt") &&
                       library.find(c.easy_perform, "curl_easy_perform") &&
                       library.find(c.easy_getinfo, "curl_easy_getinfo") &&
                       library.find(c.easy_strerror, "curl_easy_strerror") &&
                       library.find(c.slist_append, "curl_slist_append") &&
                       library.find(c.slist_free_all, "curl_slist_free_all");
    if (!found) return nullptr;
    c.global_init(CURL_GLOBAL_DEFAULT);
    return &c;
  }();
  if (calls == nullptr) why = library.loaded() ? "a libcurl function is missing" : library.why();
  return calls;
}

struct Transfer {
  HttpResponse response;
  const std::function<bool(const char*, std::size_t)>* sink = nullptr;
  bool tooLarge = false;
  bool aborted = false;
  bool connected = false;  // a connection (new or kept alive) carried the request
};

// Called once the connection (TLS included) stands and before the request goes out, for a
// fresh connection and a kept-alive one alike: from here on a time limit is the answer's.
int onConnected(void* user, char*, char*, int, int) {
  static_cast<Transfer*>(user)->connected = true;
  return CURL_PREREQFUNC_OK;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::string_view line(data, size * count);
  HttpResponse& r = t->response;
  // Every status line starts a new header block (interim 1xx answers, redirects); only the
  // final response's block is kept.
  if (line.substr(0, 5) == "HTTP/") r.headerText.clear();
  http_detail::readHeaderLine(r, line);
  r.headerText.append(line);
  return size * count;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::size_t n = size * count;
  t->response.bodyBytes += static_cast<long long>(n);
  if (t->sink) {
    if (!(*t->sink)(data, n)) {
      t->aborted = true;
      return CURL_WRITEFUNC_ERROR;
    }
    return n;
  }
  if (t->response.bodyBytes > texts::kMaxInMemoryBody) {
    t->tooLarge = true;
    return CURL_WRITEFUNC_ERROR;
  }
  t->response.body.append(data, n);
  return n;
}

bool isTlsError(CURLcode code) {
  switch (code) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
      return true;
    default:
      return false;
  }
}

class CurlSlist {
 public:
  explicit CurlSlist(const CurlCalls& curl) : curl_(curl) {}
  CurlSlist(const CurlSlist&) = delete;
  CurlSlist& operator=(const CurlSlist&) = delete;
  ~CurlSlist() { curl_.slist_free_all(list_); }
  void add(const std::string& line) {
    curl_slist* next = curl_.slist_append(list_, line.c_str());
    if (!next) throw HttpError(HttpError::Kind::Other, "out of memory");
    list_ = next;
  }
  curl_slist* get() const { return list_; }

 private:
  const CurlCalls& curl_;
  curl_slist* list_ = nullptr;
};

class CurlHttpClient final : public HttpClient {
 public:
  CurlHttpClient() : curl_(curlCalls(unavailable_)) {
    if (curl_) easy_ = curl_->easy_init();
  }
  ~CurlHttpClient() override {
    if (easy_) curl_->easy_cleanup(easy_);
  }
  CurlHttpClient(const CurlHttpClient&) = delete;
  CurlHttpClient& operator=(const CurlHttpClient&) = delete;

  HttpResponse send(const HttpRequest& request) override { return perform(request, nullptr); }

  HttpResponse sendToSink(const HttpRequest& request,
                          const std::function<bool(const char*, std::size_t)>& sink) override {
    return perform(request, &sink);
  }

 private:
  HttpResponse perform(const HttpRequest& request,
                       const std::function<bool(const char*, std::size_t)>* sink) {
    if (!easy_) {
      std::string why(texts::kNotStarted);
      if (!unavailable_.empty()) why += ": " + unavailable_;
      throw HttpError(HttpError::Kind::Other, why);
    }
    const bool isPost = http_detail::isPost(request);
    // A reset keeps the live connection cache; every option is set afresh below.
    curl_->easy_reset(easy_);
    Transfer t;
    t.sink = sink;
    errorText_[0] = '\0';

    CurlSlist headers(*curl_);
    bool hasContentType = false, hasAccept = false;
    for (const auto& [name, value] : request.headers) {
      // "Name;" is how curl sends a header with an empty value.
      headers.add(value.empty() ? name + ";" : name + ": " + value);
      hasContentType = hasContentType || equalsNoCaseAscii(name, "Content-Type");
      hasAccept = hasAccept || equalsNoCaseAscii(name, "Accept");
    }
    // Callers send exactly the headers they list (plus Host and Content-Length): curl would
    // otherwise add its own Accept, a form content type to every POST, and wait for
    // "100 Continue" before larger bodies.
    if (isPost && !hasContentType) headers.add("Content-Type:");
    if (!hasAccept) headers.add("Accept:");
    headers.add("Expect:");

    curl_->easy_setopt(easy_, CURLOPT_URL, request.url.c_str());
    curl_->easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_->easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_->easy_setopt(easy_, CURLOPT_HTTPHEADER, headers.get());
    curl_->easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_->easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_->easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    // The operating system's trust store, where OpenSSL's own variables say it is (Debian's libcurl
    // would otherwise use its built-in bundle path and ignore them). Verification stays on.
    if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file) {
      curl_->easy_setopt(easy_, CURLOPT_CAINFO, file);
    }
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir && *dir) {
      curl_->easy_setopt(easy_, CURLOPT_CAPATH, dir);
    }
    curl_->easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
    curl_->easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_->easy_setopt(easy_, CURLOPT_HEADERDATA, &t);
    curl_->easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &onBody);
    curl_->easy_setopt(easy_, CURLOPT_WRITEDATA, &t);
    curl_->easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &onConnected);
    curl_->easy_setopt(easy_, CURLOPT_PREREQDATA, &t);
    curl_->easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
    if (request.totalTimeoutMs > 0) {
      curl_->easy_setopt(easy_, CURLOPT_TIMEOUT_MS, request.totalTimeoutMs);
    } else {
      curl_->easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
      curl_->easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, 60L);
    }
    if (isPost) {
      curl_->easy_setopt(easy_, CURLOPT_POST, 1L);
      curl_->easy_setopt(easy_, CURLOPT_POSTFIELDS, request.body.data());
      curl_->easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
    } else {
      // Downloads follow redirects as browsers do, to http or https only, and never from https
      // down to http; a POST never does. Credentials go to the first host only (curl's
      // default, as CURLOPT_UNRESTRICTED_AUTH stays off).
      curl_->easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
      curl_->easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
      curl_->easy_setopt(easy_, CURLOPT_MAXREDIRS, 10L);
      curl_->easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR,
                         http_detail::isHttps(request.url) ? "https" : "http,https");
    }
    // Large bodies stream to a file: bigger reads halve the time of a big download, while
    // answers kept in memory stay on curl's default.
    curl_->easy_setopt(easy_, CURLOPT_BUFFERSIZE, sink ? 512L * 1024 : long(CURL_MAX_WRITE_SIZE));

    CURLcode code = curl_->easy_perform(easy_);
    if (code != CURLE_OK) throw errorFor(code, errorText_, t, request);

    long status = 0;
    curl_->easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    t.response.status = static_cast<int>(status);
    return std::move(t.response);
  }

  HttpError errorFor(CURLcode code, const char* errorText, const Transfer& t,
                     const HttpRequest& request) {
    std::string detail =
        errorText[0] ? std::string(trim(errorText, kWhiteSpace)) : curl_->easy_strerror(code);
    using Kind = HttpError::Kind;
    switch (code) {
      case CURLE_COULDNT_RESOLVE_HOST:
        return HttpError(Kind::Unreachable, std::string(texts::kHostNotFound));
      case CURLE_COULDNT_RESOLVE_PROXY:
        return HttpError(Kind::Unreachable, std::string(texts::kProxyNotFound));
      case CURLE_COULDNT_CONNECT: {
        long osErrno = 0;
        curl_->easy_getinfo(easy_, CURLINFO_OS_ERRNO, &osErrno);
        if (osErrno == 0) return HttpError(Kind::Unreachable, detail);
        std::string cause = std::generic_category().message(static_cast<int>(osErrno));
        if (!cause.empty() && cause[0] >= 'A' && cause[0] <= 'Z') cause[0] = static_cast<char>(cause[0] + 32);
        return HttpError(Kind::Unreachable, cause);
      }
      case CURLE_OPERATION_TIMEDOUT:
        return http_detail::timeoutError(request, t.connected);
      case CURLE_UNSUPPORTED_PROTOCOL: {
        // Only a redirect can lead to a scheme the request did not start with.
        long lastStatus = 0;
        curl_->easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &lastStatus);
        if (http_detail::isHttps(request.url) && lastStatus / 100 == 3) {
          return HttpError(Kind::Other, std::string(texts::kInsecureRedirect));
        }
        return HttpError(Kind::Other, detail);
      }
      case CURLE_GOT_NOTHING:
        return HttpError(Kind::Cut, std::string(texts::kNoResponse));
      case CURLE_PARTIAL_FILE:
      case CURLE_RECV_ERROR:
      case CURLE_SEND_ERROR:
        return HttpError(Kind::Cut, detail);
      case CURLE_WRITE_ERROR:
        if (t.tooLarge) return HttpError(Kind::Other, std::string(texts::kTooLarge));
        if (t.aborted) return HttpError(Kind::Other, std::string(texts::kAborted));
        return HttpError(Kind::Other, detail);
      default:
        break;
    }
    if (isTlsError(code)) return HttpError(Kind::Tls, detail);
    return HttpError(Kind::Other, detail);
  }

  std::string unavailable_;  // why libcurl could not be loaded
  const CurlCalls* curl_;    // nullptr when it could not
  CURL* easy_ = nullptr;
  // Lives as long as the handle, which keeps pointing at it between calls.
  char errorText_[CURL_ERROR_SIZE] = {};
};

}  // namespace

std::unique_ptr<HttpClient> makeHttpClient() { return std::make_unique<CurlHttpClient>(); }

}  // namespace zentro::platform
