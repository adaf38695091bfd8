#pragma once
// A small HTTP file server on 127.0.0.1 for the download tests: serves named replies below
// /files/ and counts the requests it saw. Connection threads answer; the test thread sets up.

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/loopback_http.h"

namespace zentro::testing {

class LoopbackFiles {
 public:
  using Reply = HttpReply;

  LoopbackFiles() = default;
  LoopbackFiles(const LoopbackFiles&) = delete;
  LoopbackFiles& operator=(const LoopbackFiles&) = delete;

  // What installFilesUrl names: DownloadLocation follows directly.
  std::string baseUrl() const { return server_.url() + "/files/"; }

  void serve(const std::string& name, Reply reply) {
    std::lock_guard lock(mutex_);
    replies_[name] = std::move(reply);
  }
  void serve(const std::string& name, std::string body) {
    Reply r;
    r.body = std::move(body);
    serve(name, std::move(r));
  }

  int hits(const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = hits_.find(name);
    return it == hits_.end() ? 0 : it->second;
  }
  int totalHits() const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const auto& [name, count] : hits_) n += count;
    return n;
  }
  // The "Proxy-Connection" header of every request, in order.
  std::vector<std::string> proxyConnectionHeaders() const {
    std::lock_guard lock(mutex_);
    return proxyHeaders_;
  }

 private:
  HttpReply answer(const HttpRequest& req) {
    std::lock_guard lock(mutex_);
    const std::string prefix = "/files/";
    const std::string name =
        req.target.rfind(prefix, 0) == 0 ? req.target.substr(prefix.size()) : std::string();
    ++hits_[name];
    proxyHeaders_.push_back(req.header("Proxy-Connection"));
    auto it = replies_.find(name);
    if (req.method != "GET" || it == replies_.end()) {
      Reply missing;
      missing.status = 404;
      missing.body = "Object Not Found";
      return missing;
    }
    return it->second;
  }

  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::map<std::string, int> hits_;
  std::vector<std::string> proxyHeaders_;
  LoopbackHttp server_{[this](const HttpRequest& req) { return answer(req); }};
};

}  // namespace zentro::testing
