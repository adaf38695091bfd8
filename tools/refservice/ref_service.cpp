#include "tools/refservice/ref_service.h"

#include <csignal>
#include <stdexcept>
#include <thread>

#include "remote/rds_wire.h"
#include "tools/refservice/business_objects.h"
#include "tools/refservice/http_listener.h"
#include "tools/refservice/service_state.h"

namespace zentro::refservice {
namespace {

constexpr const char* kOctets = "application/octet-stream";
constexpr std::size_t kChunk = 64 * 1024;

// Serves `bytes` (all of them, or the first `limit`) announcing `announced` bytes. When
// fewer bytes are sent than announced, the connection is closed after them.
void serveBytes(httplib::Response& res, std::shared_ptr<const std::string> bytes, std::size_t limit,
                std::size_t announced) {
  limit = std::min(limit, bytes->size());
  if (announced == 0) {
    res.set_header("Content-Length", "0");
    return;
  }
  res.set_content_provider(
      announced, kOctets,
      [bytes, limit](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        if (offset >= limit) return false;  // the rest was promised but never comes
        const std::size_t n = std::min({length, limit - offset, kChunk});
        return sink.write(bytes->data() + offset, n);
      });
}

// Applies a transport fault to an answer made of `bytes`; returns the outcome text.
std::string answerWithFault(httplib::Response& res, const Fault& fault,
                            std::shared_ptr<const std::string> bytes) {
  const std::size_t size = bytes->size();
  switch (fault.kind) {
    case Fault::Kind::Refuse:
      if (ConnectionControl* c = currentConnection()) c->refuse = true;
      return "fault: refused";
    case Fault::Kind::Status500:
    case Fault::Kind::VtError:  // a download has no VARIANT to answer with
    case Fault::Kind::ArrayAnswer:
      res.status = 500;
      res.set_content("Internal Server Error", kOctets);
      return "fault: " + describeFault(fault);
    case Fault::Kind::CutBody:
      serveBytes(res, bytes, static_cast<std::size_t>(fault.amount), size);
      return "fault: " + describeFault(fault);
    case Fault::Kind::WrongLength:
      serveBytes(res, bytes, size, size + static_cast<std::size_t>(fault.amount));
      return "fault: " + describeFault(fault);
    case Fault::Kind::Delay:
      std::this_thread::sleep_for(std::chrono::milliseconds(fault.amount));
      serveBytes(res, bytes, size, size);
      return "served " + std::to_string(size) + " bytes after " + std::to_string(fault.amount) + " ms";
    case Fault::Kind::None:
      break;
  }
  serveBytes(res, bytes, size, size);
  return "served " + std::to_string(size) + " bytes";
}

}  // namespace

class RefService::Impl {
 public:
  Impl() : objects(state, log) {}

  void start(const World& world, const RefServiceOptions& options);
  void stop();
  void addRoutes(Listener& l, const std::string& name);

  ServiceState state;
  CallLog log;
  BusinessObjects objects;
  std::vector<std::unique_ptr<Listener>> listeners;
  std::map<std::string, std::string> urls;  // listener name ("" = base) -> URL
  std::map<std::string, int> ports;
  bool running = false;
};

void RefService::Impl::addRoutes(Listener& l, const std::string& name) {
  const std::string endpoint = rds::kEndpoint;
  l.routes().Post(endpoint + ".*", [this, name](const httplib::Request& req, httplib::Response& res) {
    const RdsAnswer a = objects.answer(name, req.path, req.body, req.get_header_value("Content-Type"));
    answerWithFault(res, a.fault, std::make_shared<const std::string>(a.body));
  });
  l.routes().Get(".*", [this, name](const httplib::Request& req, httplib::Response& res) {
    DownloadAnswer a = state.download(name, req.path);
    DownloadRecord rec{std::chrono::system_clock::now(), name, req.path, 0, {},
                       req.has_header("Authorization")};
    if (!a.redirect.empty()) {
      res.status = rec.status = 302;
      res.set_header("Location", a.redirect);
      rec.outcome = "redirected to " + a.redirect;
    } else if (!a.found && !a.fault.active()) {
      res.status = 404;
      res.set_content("The requested file was not found.", kOctets);
      rec.status = 404;
      rec.outcome = "not found";
    } else {
      auto bytes = a.bytes ? a.bytes : std::make_shared<const std::string>();
      rec.outcome = answerWithFault(res, a.fault, bytes);
      if (a.fault.kind != Fault::Kind::Refuse) rec.status = res.status == -1 ? 200 : res.status;
    }
    log.addDownload(std::move(rec));
  });
}

void RefService::Impl::start(const World& world, const RefServiceOptions& options) {
  world.validate();
  std::signal(SIGPIPE, SIG_IGN);
  log.open(options.logFolder);
  log.clear();
  const TlsFiles tls{options.certFile, options.keyFile};
  const std::string scheme = options.https ? "https" : "http";
  auto portFor = [&](const Server& s, int index) {
    if (s.port != 0 || options.basePort == 0) return s.port;
    return options.basePort + index;
  };
  std::vector<const Server*> servers{&world.base};
  for (const auto& s : world.servers) servers.push_back(&s);
  try {
    for (std::size_t i = 0; i < servers.size(); ++i) {
      const Server& s = *servers[i];
      auto l = std::make_unique<Listener>(options.https ? &tls : nullptr);
      const int port = l->bind(s.address, portFor(s, static_cast<int>(i)));
      urls[s.name] = scheme + "://" + s.address + ":" + std::to_string(port) + s.path;
      ports[s.name] = port;
      addRoutes(*l, s.name);
      listeners.push_back(std::move(l));
    }
    std::map<std::string, std::string> serverUrls = urls;
    state.reset(world, std::move(serverUrls));
  } catch (...) {
    stop();
    throw;
  }
  for (auto& l : listeners) l->start();
  running = true;
}

void RefService::Impl::stop() {
  for (auto& l : listeners) l->stop();
  listeners.clear();
  urls.clear();
  ports.clear();
  running = false;
}

RefService::RefService() : impl_(std::make_unique<Impl>()) {}
RefService::~RefService() { stop(); }

void RefService::start(const World& world, const RefServiceOptions& options) {
  if (impl_->running) throw std::runtime_error("the reference service is already running");
  impl_->start(world, options);
}

void RefService::stop() { impl_->stop(); }
bool RefService::running() const { return impl_->running; }

std::string RefService::baseUrl() const { return serverUrl(""); }

std::string RefService::serverUrl(const std::string& serverName) const {
  const auto it = impl_->urls.find(serverName);
  return it == impl_->urls.end() ? std::string() : it->second;
}

int RefService::serverPort(const std::string& serverName) const {
  const auto it = impl_->ports.find(serverName);
  return it == impl_->ports.end() ? 0 : it->second;
}

std::vector<CallRecord> RefService::calls() const { return impl_->log.calls(); }
std::vector<NoteRecord> RefService::notes() const { return impl_->log.notes(); }
std::vector<DownloadRecord> RefService::downloads() const { return impl_->log.downloads(); }
void RefService::clearRecords() { impl_->log.clear(); }
std::string RefService::logFilePath() const { return impl_->log.filePath(); }

void RefService::setMemberFault(const std::string& listener, const std::string& member, const Fault& fault) {
  impl_->state.setMemberFault(listener, member, fault);
}
void RefService::setDeploymentFault(long deploymentId, const Fault& fault) {
  impl_->state.setDeploymentFault(deploymentId, fault);
}
void RefService::setFileFault(long groupId, const std::string& fileName, const Fault& fault) {
  impl_->state.setFileFault(groupId, fileName, fault);
}
void RefService::setFileRedirect(long groupId, const std::string& fileName, const std::string& url) {
  impl_->state.setFileRedirect(groupId, fileName, url);
}
void RefService::clearFaults() { impl_->state.clearFaults(); }

World RefService::world() const { return impl_->state.world(); }

bool RefService::setFile(long groupId, const std::string& fileName, std::string content,
                         const std::optional<std::string>& version) {
  return impl_->state.setFile(groupId, fileName, std::move(content), version);
}

bool RefService::setLastUpdate(long groupId, const std::string& text) {
  return impl_->state.setLastUpdate(groupId, text);
}

std::string RefService::lastTokenOf(const std::string& filerCode, const std::string& login) const {
  return impl_->state.lastTokenOf(filerCode, login);
}

}  // namespace zentro::refservice
