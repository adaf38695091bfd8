#pragma once
// The text the reference-service fixture and its services exchange (across the control
// endpoint for the Windows tests, in-process on Linux): a list of fields, each its length in
// decimal, ':' and its bytes, so any bytes travel. Values go in with put and come out with take
// in the same order: texts, numbers, optional values, lists, maps, faults, call arguments (with
// their types) and the structures of the world, the options and the records, each kept exactly.
// Fields is a plain value; any thread.

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "remote/value.h"
#include "tools/refservice/call_log.h"
#include "tools/refservice/ref_service.h"
#include "tools/refservice/world.h"

namespace zentro::testing::control {

class WireError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The members of each structure that travels, in their order on the wire.
void members(refservice::Fault& f, auto&& each) { each(f.kind, f.amount, f.remaining); }
void members(refservice::Login& l, auto&& each) {
  each(l.filerCode, l.name, l.password, l.deployments);
}
void members(refservice::Server& s, auto&& each) {
  each(s.name, s.address, s.port, s.path, s.memberFaults);
}
void members(refservice::InstallEntry& e, auto&& each) {
  each(e.fileName, e.sequenceId, e.installType, e.fileVersion, e.altCheck, e.altCheckRegValue,
       e.installLocation, e.description, e.isCompressed, e.downloadLocation, e.sha256, e.content,
       e.fault, e.redirect);
}
void members(refservice::InstallGroup& g, auto&& each) { each(g.id, g.lastUpdate, g.entries); }
void members(refservice::Deployment& d, auto&& each) {
  each(d.id, d.type, d.description, d.server, d.busObjUrl, d.deployFolder, d.installGroup,
       d.customGroup, d.checkForUpdates, d.downloadFault);
}
void members(refservice::World& w, auto&& each) {
  each(w.filers, w.logins, w.base, w.servers, w.deployments, w.groups);
}
void members(refservice::RefServiceOptions& o, auto&& each) {
  each(o.https, o.certFile, o.keyFile, o.basePort, o.logFolder);
}
void members(refservice::CallRecord& c, auto&& each) {
  each(c.time, c.listener, c.progId, c.member, c.args, c.outcome);
}
void members(refservice::NoteRecord& n, auto&& each) { each(n.time, n.filerCode, n.login, n.text); }
void members(refservice::DownloadRecord& d, auto&& each) {
  each(d.time, d.listener, d.path, d.status, d.outcome, d.withCredentials);
}

template <class T>
concept Structure = requires(T& v) { members(v, [](auto&...) {}); };

class Fields {
 public:
  Fields() = default;
  // Reads what text() wrote. Throws WireError when a length is missing or runs past the end.
  explicit Fields(std::string_view text);
  std::string text() const;

  // The values in turn (field() only reads them while writing).
  template <class... T>
  void put(const T&... values) {
    (field(const_cast<T&>(values)), ...);
  }
  // The next values, in the order they were put. Throws WireError when they run out or a
  // field does not read as its type.
  template <class... T>
  void take(T&... values) {
    (field(values), ...);
  }
  template <class T>
  T take() {
    T v{};
    take(v);
    return v;
  }

 private:
  // Each writes `v` when writing (leaving it as it is), and sets it when reading.
  void field(std::string& text);
  void field(Value& v);
  void field(std::chrono::system_clock::time_point& t);
  void field(long long& n);
  template <class T>
    requires std::is_integral_v<T> || std::is_enum_v<T>
  void field(T& n) {
    auto wide = static_cast<long long>(n);
    field(wide);
    if (reading_) n = static_cast<T>(wide);
  }
  template <class T>
  void field(std::optional<T>& v) {
    bool present = v.has_value();
    field(present);
    if (reading_) v.reset();
    if (present) field(v ? *v : v.emplace());
  }
  void field(std::shared_ptr<const std::string>& v) {
    std::optional<std::string> text = v ? std::optional(*v) : std::nullopt;
    field(text);
    if (reading_) v = text ? std::make_shared<const std::string>(*text) : nullptr;
  }
  template <class T>
  void field(std::vector<T>& items) {
    std::size_t n = items.size();
    count(n);
    if (reading_) items.resize(n);
    for (T& item : items) field(item);
  }
  template <class K, class V>
  void field(std::map<K, V>& items) {
    std::vector<std::pair<K, V>> pairs(items.begin(), items.end());
    field(pairs);
    if (reading_) items = {pairs.begin(), pairs.end()};
  }
  template <class K, class V>
  void field(std::pair<K, V>& p) {
    field(p.first);
    field(p.second);
  }
  template <Structure T>
  void field(T& v) {
    members(v, [this](auto&... m) { (field(m), ...); });
  }
  // A number of items to follow; when reading, no more than fields remain.
  void count(std::size_t& n);

  std::vector<std::string> fields_;
  std::size_t next_ = 0;
  bool reading_ = false;
};

// One request to the reference services the fixture starts, one a session; its result:
//   "start" WORLD OPTIONS -> session ID, base URL, URL of each login server by name
//   "stop", "calls", "notes", "downloads", "token" FILER LOGIN,
//   "member-fault" LISTENER MEMBER FAULT -> as refservice::RefService's members
// `session` is "" for "start". On Linux the services run in this process
// (ref_service_inprocess.cpp; zentro-refservice-control serves them to the Windows test
// programs); the Windows programs send to that control endpoint (ref_service_remote.cpp).
// Throws std::runtime_error (WireError for a request the services refuse).
Fields send(const std::string& command, const std::string& session, const Fields& in);

}  // namespace zentro::testing::control
