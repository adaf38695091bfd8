#pragma once
// A small HTTP file server on 127.0.0.1 for the download tests: serves named replies below
// /files/ and counts the requests it saw. Listener threads answer; the test thread sets up.

#include <httplib.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zentro::testing {

class LoopbackFiles {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    // Content-length announced but only `cutAfter` bytes sent before the connection closes.
    long long cutAfter = -1;
    // Sent chunked, without a Content-length.
    bool chunked = false;
    // > 0: the body goes out 16 bytes at a time, one piece every `trickleMs`, for as long as
    // the client keeps reading.
    int trickleMs = 0;
  };

  LoopbackFiles() {
    server_.Get(R"(/files/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
      answer(req, res);
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // A stop before the listener loop has begun would be missed and the join would hang.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~LoopbackFiles() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  LoopbackFiles(const LoopbackFiles&) = delete;
  LoopbackFiles& operator=(const LoopbackFiles&) = delete;

  // What installFilesUrl names: DownloadLocation follows directly.
  std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/files/"; }

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
  void answer(const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.matches[1];
    Reply reply;
    {
      std::lock_guard lock(mutex_);
      ++hits_[name];
      proxyHeaders_.push_back(req.get_header_value("Proxy-Connection"));
      auto it = replies_.find(name);
      if (it == replies_.end()) {
        res.status = 404;
        res.set_content("Object Not Found", "text/plain");
        return;
      }
      reply = it->second;
    }
    res.status = reply.status;
    auto body = std::make_shared<std::string>(std::move(reply.body));
    if (reply.trickleMs > 0) {
      const auto pause = std::chrono::milliseconds(reply.trickleMs);
      res.set_content_provider(body->size(), "application/octet-stream",
                               [body, pause](size_t offset, size_t, httplib::DataSink& sink) {
                                 std::this_thread::sleep_for(pause);
                                 return sink.write(body->data() + offset,
                                                   std::min<size_t>(16, body->size() - offset));
                               });
    } else if (reply.chunked) {
      res.set_chunked_content_provider(
          "application/octet-stream", [body](size_t offset, httplib::DataSink& sink) {
            if (offset < body->size()) {
              sink.write(body->data() + offset, std::min<size_t>(1000, body->size() - offset));
            } else {
              sink.done();
            }
            return true;
          });
    } else if (reply.cutAfter >= 0) {
      const auto cut = static_cast<size_t>(reply.cutAfter);
      res.set_content_provider(body->size(), "application/octet-stream",
                               [body, cut](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset >= cut) return false;  // hang up
                                 sink.write(body->data() + offset, cut - offset);
                                 return true;
                               });
    } else {
      res.set_content(*body, "application/octet-stream");
    }
  }

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::map<std::string, int> hits_;
  std::vector<std::string> proxyHeaders_;
};

}  // namespace zentro::testing
