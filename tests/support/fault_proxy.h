#pragma once
// A fault-injecting HTTP proxy on loopback, in front of the reference service, for what the
// service's own fault modes cannot do. A request naming an absolute URL (the launcher reaches
// the proxy through http_proxy: "POST http://127.0.0.1:40123/msadc/msadcs.dll/...") goes on to
// that host; one naming a path goes to the `upstream` the proxy was made with. Each answer
// comes back as it was unless a rule takes it over:
//   - a business-object member can answer a huge body made while it is sent, so the proxy
//     never holds it;
//   - a download can answer bytes of choice in place of the service's;
//   - any answer can be edited on its way back (status, body, sent chunked or trickled).
// Every request is recorded. Rules may be changed from the test's thread while the proxy runs;
// requests are answered on the proxy's own threads. Plain sockets: portable.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/loopback_http.h"

namespace zentro::testing {

class FaultProxy {
 public:
  // Edits an answer on its way back (hangUp: the upstream gave none, or cut it short).
  using Edit = std::function<void(const HttpRequest& request, HttpReply& answer)>;

  // `upstream`: "http://host:port" for requests that name a path only.
  explicit FaultProxy(const std::string& upstream = {}) : upstream_(parse(upstream + "/")) {}
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  // What http_proxy names, or what stands for the upstream's "http://host:port".
  std::string url() const { return server_.url(); }

  // `member` answers 200 with a body `bytes` long, made while it is sent, so the proxy never
  // holds it.
  void hugeAnswer(const std::string& member, std::uint64_t bytes) {
    editAnswer("." + member, [this, bytes](const HttpRequest&, HttpReply& r) {
      r = HttpReply();
      r.streamSize = bytes;
      r.stream = [this](std::uint64_t) {
        constexpr std::size_t kPiece = 32768;
        hugeSent_ += kPiece;
        return std::string(kPiece, 'x');
      };
    });
  }
  // Downloads whose path ends with `suffix` answer 200 with `bytes`.
  void downloadBytes(const std::string& suffix, std::string bytes) {
    editAnswer(suffix, [bytes = std::move(bytes)](const HttpRequest&, HttpReply& r) {
      r = HttpReply();
      r.body = bytes;
    });
  }
  // Answers to requests whose path ends with `suffix` (".Member" for calls) pass through `edit`.
  void editAnswer(const std::string& suffix, Edit edit) {
    std::lock_guard lock(mutex_);
    edits_[suffix] = std::move(edit);
  }

  // Bytes of huge answers made for sending (whole pieces); every request.
  std::uint64_t hugeBytesSent() const { return hugeSent_; }
  std::vector<HttpRequest> seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
  }

 private:
  struct Target {
    std::string host;
    int port = 80;
    std::string path;
  };

  // "http://host[:port]/path" -> its parts; host "" when it is no such URL.
  static Target parse(const std::string& url) {
    static const std::regex kForm(R"(http://([^/:]+)(?::(\d+))?(/.*)?)");
    std::smatch m;
    if (!std::regex_match(url, m, kForm)) return {};
    return {m[1].str(), m[2].matched ? std::stoi(m[2].str()) : 80, m[3].matched ? m[3].str() : "/"};
  }

  HttpReply handle(const HttpRequest& req) {
    Target t = parse(req.target);
    if (t.host.empty()) t = {upstream_.host, upstream_.port, req.target};
    HttpReply r;
    std::vector<Edit> edits;
    {
      std::lock_guard lock(mutex_);
      seen_.push_back(req);
      for (const auto& [suffix, edit] : edits_)
        if (t.path.ends_with(suffix)) edits.push_back(edit);
    }
    if (t.host.empty()) {
      r.status = 400;
      r.body = "the fault proxy has no upstream for " + req.target;
      return r;
    }
    HttpHeaders headers = req.headers;  // less those of this hop
    for (const char* name : {"Host", "Connection", "Content-Length", "Proxy-Connection"})
      headers.erase(name);
    HttpAnswer a = httpRequest(t.port, req.method, t.path, req.body, std::chrono::seconds(30),
                               t.host, headers);
    r.status = a.status;
    r.hangUp = a.status == 0 || !a.complete;  // a cut answer never passes as a whole one
    r.contentType = a.headers.count("Content-Type") ? a.headers.find("Content-Type")->second
                                                    : r.contentType;
    r.body = std::move(a.body);
    for (const Edit& edit : edits) edit(req, r);
    return r;
  }

  const Target upstream_;
  mutable std::mutex mutex_;
  std::map<std::string, Edit> edits_;
  std::vector<HttpRequest> seen_;
  std::atomic<std::uint64_t> hugeSent_{0};
  LoopbackHttp server_{[this](const HttpRequest& req) { return handle(req); }};
};

}  // namespace zentro::testing
