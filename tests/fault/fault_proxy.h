#pragma once
// A fault-injecting forward HTTP proxy on loopback for the fault suite. The launcher reaches it
// through the usual proxy variable (http_proxy), so every request names its absolute URL
// ("POST http://127.0.0.1:40123/msadc/msadcs.dll/CVBO_V2.Init.GetDeploymentsXML"); the proxy
// passes each one on to the reference service unless a rule takes it over:
//   - the XML string a business-object member answers can be rewritten (malformed answers,
//     login servers moved to an address where nothing listens);
//   - a member can answer with a huge XML string, streamed so the proxy never holds it;
//   - a download can answer a status of choice, or bytes of choice (hostile archives).
// Rules may be changed from the test's thread while the proxy runs; requests are answered on
// the proxy's own threads.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "remote/rds_wire.h"

namespace zentro::testing {

class FaultProxy {
 public:
  using XmlRewrite = std::function<std::string(std::string xml)>;

  FaultProxy() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("the fault proxy cannot listen");
    server_.Post(".*", [this](const httplib::Request& req, httplib::Response& res) {
      handle(req, res);
    });
    server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
      handle(req, res);
    });
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() only acts on a running server: do not return before it runs.
    for (int i = 0; i < 5000 && !server_.is_running(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~FaultProxy() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  // What http_proxy names.
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

  // The string that `member` returns is passed through `rewrite` (every listener).
  void rewriteAnswer(const std::string& member, XmlRewrite rewrite) {
    std::lock_guard lock(mutex_);
    rewrites_[member] = std::move(rewrite);
  }
  // `member` answers a well-formed call whose XML string is `bytes` long on the wire (an XML
  // rowset of repeated rows), generated while it is sent.
  void hugeAnswer(const std::string& member, std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    huge_[member] = bytes;
  }
  // Downloads whose path ends with `suffix` answer `status` (with a short text body).
  void downloadStatus(const std::string& suffix, int status) {
    std::lock_guard lock(mutex_);
    downloads_[suffix] = DownloadRule{status, {}};
  }
  // Downloads whose path ends with `suffix` answer 200 with `bytes`.
  void downloadBytes(const std::string& suffix, std::string bytes) {
    std::lock_guard lock(mutex_);
    downloads_[suffix] = DownloadRule{200, std::make_shared<const std::string>(std::move(bytes))};
  }
  void clearRules() {
    std::lock_guard lock(mutex_);
    rewrites_.clear();
    huge_.clear();
    downloads_.clear();
  }

  // Requests answered by a rule so far, and the bytes of huge answers actually sent.
  int ruleHits() const { return hits_; }
  std::uint64_t hugeBytesSent() const { return hugeSent_; }

 private:
  struct DownloadRule {
    int status = 200;
    std::shared_ptr<const std::string> bytes;
  };
  struct Target {
    std::string host;
    int port = 80;
    std::string path;
  };

  static std::optional<Target> parseTarget(const std::string& target) {
    const std::string scheme = "http://";
    if (target.rfind(scheme, 0) != 0) return std::nullopt;
    const auto slash = target.find('/', scheme.size());
    const std::string hostPort = target.substr(scheme.size(), slash - scheme.size());
    Target t;
    t.path = slash == std::string::npos ? "/" : target.substr(slash);
    const auto colon = hostPort.rfind(':');
    t.host = hostPort.substr(0, colon);
    if (colon != std::string::npos) t.port = std::stoi(hostPort.substr(colon + 1));
    return t;
  }

  static std::string memberOf(const std::string& path) {
    const auto dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
  }

  static bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
  }

  void handle(const httplib::Request& req, httplib::Response& res) {
    const auto target = parseTarget(req.target);
    if (!target) {
      res.status = 400;
      res.set_content("the fault proxy takes absolute http URLs only", "text/plain");
      return;
    }
    if (req.method == "GET") {
      std::optional<DownloadRule> rule;
      {
        std::lock_guard lock(mutex_);
        for (const auto& [suffix, r] : downloads_) {
          if (endsWith(target->path, suffix)) rule = r;
        }
      }
      if (rule) {
        ++hits_;
        res.status = rule->status;
        if (rule->bytes) {
          res.set_content(*rule->bytes, "application/octet-stream");
        } else {
          res.set_content("answered by the fault proxy", "text/plain");
        }
        return;
      }
    }
    const std::string member = req.method == "POST" ? memberOf(target->path) : std::string();
    XmlRewrite rewrite;
    std::optional<std::uint64_t> huge;
    {
      std::lock_guard lock(mutex_);
      if (auto it = rewrites_.find(member); it != rewrites_.end()) rewrite = it->second;
      if (auto it = huge_.find(member); it != huge_.end()) huge = it->second;
    }

    httplib::Client upstream(target->host, target->port);
    upstream.set_connection_timeout(5);
    upstream.set_read_timeout(30);
    httplib::Headers headers;
    for (const char* name : {"User-Agent", "Cache-Control"}) {
      if (req.has_header(name)) headers.emplace(name, req.get_header_value(name));
    }
    httplib::Result answer = req.method == "POST"
                                 ? upstream.Post(target->path, headers, req.body,
                                                 req.get_header_value("Content-Type"))
                                 : upstream.Get(target->path, headers);
    if (!answer) {
      res.status = 502;
      res.set_content("the fault proxy could not reach " + target->host, "text/plain");
      return;
    }
    const std::string contentType = answer->get_header_value("Content-Type");
    res.status = answer->status;
    if ((rewrite || huge) && answer->status == 200) {
      ++hits_;
      rds::Response decoded = rds::decodeResponseBody(answer->body, contentType);
      if (!decoded.isError && decoded.returnValue) {
        if (huge) {
          serveHuge(res, decoded, contentType, *huge);
          return;
        }
        decoded.returnValue = Value(rewrite(decoded.returnValue->toText().value_or("")));
        res.set_content(rds::encodeResponseBody(decoded.params, decoded.returnValue),
                        contentType);
        return;
      }
    }
    res.set_content(answer->body, contentType);
  }

  // The answer with its string replaced by a rowset of `bytes` bytes on the wire (UTF-16, so
  // half as many characters): the encoded answer around a short marker string is split at the
  // marker, its length field set to the huge size, and the rows are generated as they are sent.
  void serveHuge(httplib::Response& res, rds::Response decoded, const std::string& contentType,
                 std::uint64_t bytes) {
    const std::string marker = "QQQQQQQQ";
    decoded.returnValue = Value(marker);
    const std::string body = rds::encodeResponseBody(decoded.params, decoded.returnValue);
    std::string wideMarker;
    for (char c : marker) {
      wideMarker += c;
      wideMarker += '\0';
    }
    const auto at = body.find(wideMarker);
    if (at == std::string::npos || at < 4) throw std::runtime_error("no marker in the answer");
    std::string head = body.substr(0, at);
    const std::string tail = body.substr(at + wideMarker.size());
    const auto chars = static_cast<std::uint32_t>(bytes / 2);
    for (int i = 0; i < 4; ++i) head[at - 4 + i] = static_cast<char>((chars >> (8 * i)) & 0xff);

    const std::string xmlHead =
        "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
        "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
        "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
        "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>"
        "<s:AttributeType name='FileName'/></s:ElementType></s:Schema><rs:data>";
    const std::string row = "<z:row FileName='padding-padding-padding.dat'/>";
    const std::uint64_t total = head.size() + 2ull * chars + tail.size();
    res.set_content_provider(
        static_cast<std::size_t>(total), contentType,
        [this, head, tail, xmlHead, row, chars](std::size_t offset, std::size_t,
                                                      httplib::DataSink& sink) {
          // Offsets arrive in order; build the next slice of the stream.
          const std::uint64_t textEnd = head.size() + 2ull * chars;
          std::string chunk;
          if (offset < head.size()) {
            chunk = head.substr(offset);
          } else if (offset < textEnd) {
            const std::uint64_t charAt = (offset - head.size()) / 2;
            std::string text;
            const std::uint64_t want = std::min<std::uint64_t>(32768, chars - charAt);
            while (text.size() < want) {
              const std::uint64_t pos = charAt + text.size();
              if (pos < xmlHead.size()) {
                text += xmlHead.substr(pos, want - text.size());
              } else {
                const std::uint64_t inRow = (pos - xmlHead.size()) % row.size();
                text += row.substr(inRow, want - text.size());
              }
            }
            text.resize(want);
            chunk.reserve(text.size() * 2);
            for (char c : text) {
              chunk += c;
              chunk += '\0';
            }
          } else {
            chunk = tail.substr(offset - textEnd);
          }
          hugeSent_ += chunk.size();
          return sink.write(chunk.data(), chunk.size());
        });
  }

  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::map<std::string, XmlRewrite> rewrites_;
  std::map<std::string, std::uint64_t> huge_;
  std::map<std::string, DownloadRule> downloads_;
  std::atomic<int> hits_{0};
  std::atomic<std::uint64_t> hugeSent_{0};
};

}  // namespace zentro::testing
