#pragma once
// The text the Windows tests and the reference service's control endpoint exchange
// (tests/support/ref_service_remote.cpp, ref_service_control_main.cpp): a list of fields, one
// a line, each with '%' and the control bytes written as %XX, so any bytes travel. Values go in
// with put and come out with take in the same order: texts, numbers, optional values, lists,
// maps, faults, call arguments (with their types) and the world's and the records' structures,
// each kept exactly. Pure; any thread.

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
  // Reads what text() wrote. Throws WireError on a broken escape or a last line without end.
  explicit Fields(std::string_view text);
  std::string text() const;

  template <class... T>
  void put(const T&... values) {
    (add(values), ...);
  }
  // The next values, in the order they were put. Throws WireError when they run out or a
  // field does not read as its type.
  template <class... T>
  void take(T&... values) {
    (get(values), ...);
  }
  template <class T>
  T take() {
    T v{};
    get(v);
    return v;
  }

 private:
  void add(const std::string& text) { fields_.push_back(text); }
  void add(const char* text) { fields_.emplace_back(text); }
  void add(const Value& v);
  void add(std::chrono::system_clock::time_point t);
  template <class T>
    requires std::is_integral_v<T> || std::is_enum_v<T>
  void add(T n) {
    add(std::to_string(static_cast<long long>(n)));
  }
  template <class T>
  void add(const std::optional<T>& v) {
    add(v.has_value());
    if (v) add(*v);
  }
  void add(const std::shared_ptr<const std::string>& v) { add(v ? std::optional(*v) : std::nullopt); }
  template <class T>
  void add(const std::vector<T>& items) {
    add(items.size());
    for (const T& item : items) add(item);
  }
  template <class K, class V>
  void add(const std::map<K, V>& items) {
    add(items.size());
    for (const auto& [key, value] : items) put(key, value);
  }
  // Only read here: the members are taken by a non-const reference to serve get() as well.
  template <Structure T>
  void add(const T& v) {
    members(const_cast<T&>(v), [this](const auto&... m) { put(m...); });
  }

  void get(std::string& text);
  void get(Value& v);
  void get(std::chrono::system_clock::time_point& t);
  long long number();
  std::size_t count();  // of the items that follow; no more than fields remain
  template <class T>
    requires std::is_integral_v<T> || std::is_enum_v<T>
  void get(T& n) {
    n = static_cast<T>(number());
  }
  template <class T>
  void get(std::optional<T>& v) {
    v.reset();
    if (take<bool>()) get(v.emplace());
  }
  void get(std::shared_ptr<const std::string>& v) {
    const auto text = take<std::optional<std::string>>();
    v = text ? std::make_shared<const std::string>(*text) : nullptr;
  }
  template <class T>
  void get(std::vector<T>& items) {
    items.resize(count());
    for (T& item : items) get(item);
  }
  template <class K, class V>
  void get(std::map<K, V>& items) {
    items.clear();
    for (auto n = count(); n > 0; --n) {
      K key{};
      get(key);
      get(items[key]);
    }
  }
  template <Structure T>
  void get(T& v) {
    members(v, [this](auto&... m) { take(m...); });
  }

  std::vector<std::string> fields_;
  std::size_t next_ = 0;
};

}  // namespace zentro::testing::control
