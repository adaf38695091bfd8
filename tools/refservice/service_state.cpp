#include "tools/refservice/service_state.h"

#include <algorithm>
#include <random>

#include "platform/ascii_text.h"
#include "remote/ado_xml.h"
#include "remote/table.h"
#include "remote/text_case.h"

namespace zentro::refservice {
namespace {

std::string newToken() {
  static std::mutex m;
  static std::mt19937_64 rng{std::random_device{}()};
  std::lock_guard lock(m);
  static const char* hex = "0123456789ABCDEF";
  std::string t;
  for (int i = 0; i < 2; ++i) {
    std::uint64_t v = rng();
    for (int j = 0; j < 16; ++j, v >>= 4) t += hex[v & 15];
  }
  return t;
}

FieldDef text(const char* name, long size = 255) { return FieldDef{name, FieldType::String, size, true}; }
FieldDef int32(const char* name, bool nullable) { return FieldDef{name, FieldType::Int32, 4, nullable}; }

Value idValue(const std::optional<long>& id) {
  return id ? Value(static_cast<std::int32_t>(*id)) : Value::null();
}

Value optText(const std::optional<std::string>& s) { return s ? Value(*s) : Value::null(); }

// A group id argument: nullopt for Null, Empty or 0 as the caller's "no group".
std::optional<long> groupArg(const Value& v, const char* what) {
  if (v.isNull() || v.isEmpty()) return std::nullopt;
  const auto n = v.toInt64();
  if (!n) throw MemberError(std::string("Type mismatch: ") + what + " is not a number");
  if (*n == 0) return std::nullopt;
  return static_cast<long>(*n);
}

void takeOne(Fault& f) {
  if (f.remaining > 0) --f.remaining;
}

}  // namespace

void ServiceState::reset(World world, std::map<std::string, std::string> urls) {
  std::map<long, std::vector<PreparedEntry>> prepared;
  for (const auto& [id, g] : world.groups)
    for (const auto& e : g.entries) prepared[id].push_back(prepareEntry(e));
  auto routes = buildRoutes(world);
  std::lock_guard lock(mutex_);
  world_ = std::move(world);
  urls_ = std::move(urls);
  prepared_ = std::move(prepared);
  routes_ = std::move(routes);
  tokens_.clear();
  lastToken_.clear();
  anyListenerFaults_.clear();
}

const Login* ServiceState::findLogin(const std::string& filer, const std::string& login) const {
  const std::string f(platform::trim(filer)), l(platform::trim(login));
  for (const auto& x : world_.logins)
    if (equalsNoCase(x.filerCode, f) && equalsNoCase(x.name, l)) return &x;
  return nullptr;
}

bool ServiceState::servedAt(const Deployment& d, const std::string& listener) const {
  if (listener.empty()) return true;  // the base login object answers for every server
  return d.busObjUrl.empty() && d.server == listener;
}

std::string ServiceState::urlOf(const Deployment& d) const {
  if (!d.busObjUrl.empty()) return d.busObjUrl;
  const auto it = urls_.find(d.server);
  return it == urls_.end() ? std::string() : it->second;
}

std::string ServiceState::loginServersXml(const std::string& filer, const std::string& login) const {
  std::lock_guard lock(mutex_);
  Table t({text("ServerName", 100), text("BusObjURL", 500)});
  if (const Login* l = findLogin(filer, login)) {
    for (const auto& s : world_.servers) {
      bool used = false;
      for (long id : l->deployments)
        if (const Deployment* d = world_.findDeployment(id); d && d->busObjUrl.empty() && d->server == s.name)
          used = true;
      if (used) t.appendRow({Value(s.name), Value(urls_.count(s.name) ? urls_.at(s.name) : std::string())});
    }
  }
  return writeAdoXml(t);
}

std::string ServiceState::deploymentsXml(const std::string& filer, const std::string& login) const {
  std::lock_guard lock(mutex_);
  Table t({int32("CVDeploymentID", false), text("DeploymentType", 10), text("DeploymentDescription"),
           text("BusObjURL", 500), text("DeployFolder"), int32("InstallGroupID", true),
           int32("CustomInstallGroupID", true), text("checkForUpdates", 1)});
  if (const Login* l = findLogin(filer, login)) {
    for (const auto& d : world_.deployments) {
      if (std::find(l->deployments.begin(), l->deployments.end(), d.id) == l->deployments.end()) continue;
      t.appendRow({Value(static_cast<std::int32_t>(d.id)), Value(d.type), Value(d.description),
                   Value(urlOf(d)), Value(d.deployFolder), idValue(d.installGroup),
                   idValue(d.customGroup), Value(d.checkForUpdates)});
    }
  }
  return writeAdoXml(t);
}

bool ServiceState::isValidLogin(const std::string& listener, const std::string& filer,
                                const std::string& login, const std::string& password,
                                bool isClient) const {
  std::lock_guard lock(mutex_);
  const Login* l = findLogin(filer, login);
  if (!l || l->password != password) return false;
  for (long id : l->deployments) {
    const Deployment* d = world_.findDeployment(id);
    if (d && servedAt(*d, listener) && (upperCase(platform::trim(d->type)) == "CLIENT") == isClient)
      return true;
  }
  return false;
}

std::string ServiceState::loginUser(const std::string& listener, const std::string& filer,
                                    const std::string& login, const std::string& password) {
  std::lock_guard lock(mutex_);
  const Login* l = findLogin(filer, login);
  if (!l || l->password != password) return {};
  bool hasDeployment = false;
  for (long id : l->deployments)
    if (const Deployment* d = world_.findDeployment(id); d && servedAt(*d, listener)) hasDeployment = true;
  if (!hasDeployment) return {};
  const std::size_t index = static_cast<std::size_t>(l - world_.logins.data());
  const std::string token = newToken();
  tokens_[token] = index;
  lastToken_[index] = token;
  return token;
}

TokenOwner ServiceState::ownerOf(const std::string& token) const {
  std::lock_guard lock(mutex_);
  const auto it = tokens_.find(token);
  if (it == tokens_.end()) throw MemberError("Invalid login token");
  const Login& l = world_.logins[it->second];
  return {l.filerCode, l.name};
}

std::string ServiceState::lastUpdate(const std::string& token, const std::string& key) const {
  ownerOf(token);
  std::lock_guard lock(mutex_);
  static const std::string prefix = "INSTALL_";
  if (key.size() <= prefix.size() || !equalsNoCase(key.substr(0, prefix.size()), prefix)) return {};
  const std::string digits = key.substr(prefix.size());
  if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) return {};
  const auto g = world_.groups.find(std::stol(digits));
  return g == world_.groups.end() ? std::string() : g->second.lastUpdate;
}

std::string ServiceState::installFilesXml(const std::string& token, const Value& installGroup,
                                          const Value& customGroup) const {
  const TokenOwner owner = ownerOf(token);
  const auto installId = groupArg(installGroup, "the install group");
  const auto customId = groupArg(customGroup, "the custom install group");
  std::lock_guard lock(mutex_);
  const Login* l = findLogin(owner.filerCode, owner.login);
  std::vector<long> ids;
  for (const auto& id : {installId, customId}) {
    if (!id) continue;
    if (!world_.groups.count(*id)) throw MemberError("Unknown install group " + std::to_string(*id));
    bool allowed = false;
    for (long dep : l->deployments)
      if (const Deployment* d = world_.findDeployment(dep); d && (d->installGroup == *id || d->customGroup == *id))
        allowed = true;
    if (!allowed)
      throw MemberError("Install group " + std::to_string(*id) + " is not available to this login");
    ids.push_back(*id);
  }
  bool withDigest = false;
  for (long id : ids)
    for (const auto& p : prepared_.at(id))
      if (!p.sha256.empty()) withDigest = true;
  std::vector<FieldDef> fields = {
      text("FileName"), int32("SequenceID", false), FieldDef{"InstallType", FieldType::Int16, 2, false},
      text("FileVersion", 50), text("AltCheck"), text("AltCheckRegValue"), text("InstallLocation", 50),
      text("Description"), int32("IsCompressed", false), text("DownloadLocation")};
  if (withDigest) fields.push_back(text("SHA256", 64));
  Table t(fields);
  for (long id : ids) {
    const auto& g = world_.groups.at(id);
    for (std::size_t i = 0; i < g.entries.size(); ++i) {
      const auto& e = g.entries[i];
      std::vector<Value> row = {Value(e.fileName), Value(static_cast<std::int32_t>(e.sequenceId)),
                                Value(static_cast<std::int16_t>(e.installType)), Value(e.fileVersion),
                                optText(e.altCheck), optText(e.altCheckRegValue), Value(e.installLocation),
                                Value(e.description), Value(static_cast<std::int32_t>(e.isCompressed)),
                                Value(e.downloadLocation)};
      if (withDigest) {
        const std::string& digest = prepared_.at(id)[i].sha256;
        row.push_back(digest.empty() ? Value::null() : Value(digest));
      }
      t.appendRow(std::move(row));
    }
  }
  return writeAdoXml(t);
}

DownloadAnswer ServiceState::download(const std::string& listener, const std::string& path) {
  std::lock_guard lock(mutex_);
  DownloadAnswer a;
  const auto l = routes_.find(listener);
  if (l == routes_.end()) return a;
  const auto r = l->second.find(lowerAscii(path));
  if (r == l->second.end()) return a;
  auto& entry = world_.groups.at(r->second.groupId).entries[r->second.entryIndex];
  a.bytes = prepared_.at(r->second.groupId)[r->second.entryIndex].served;
  a.found = a.bytes != nullptr;
  a.redirect = entry.redirect;
  // A fault on the file wins over one on its deployment.
  Fault* f = &entry.fault;
  if (!f->active()) {
    for (auto& d : world_.deployments)
      if (d.id == r->second.deploymentId) f = &d.downloadFault;
  }
  if (f->active()) {
    a.fault = *f;
    takeOne(*f);
  }
  return a;
}

Fault ServiceState::takeMemberFault(const std::string& listener, const std::string& member) {
  std::lock_guard lock(mutex_);
  Server* s = listener.empty() ? &world_.base : nullptr;
  for (auto& x : world_.servers)
    if (!listener.empty() && x.name == listener) s = &x;
  std::vector<Fault*> candidates;
  for (const std::string& key : {member, std::string("*")}) {
    if (s) {
      if (auto it = s->memberFaults.find(key); it != s->memberFaults.end()) candidates.push_back(&it->second);
    }
    if (auto it = anyListenerFaults_.find(key); it != anyListenerFaults_.end()) candidates.push_back(&it->second);
  }
  for (Fault* f : candidates) {
    if (!f->active()) continue;
    Fault taken = *f;
    takeOne(*f);
    return taken;
  }
  return {};
}

void ServiceState::setMemberFault(const std::string& listener, const std::string& member, const Fault& f) {
  std::lock_guard lock(mutex_);
  if (listener == "*") {
    anyListenerFaults_[member] = f;
    return;
  }
  if (listener.empty()) {
    world_.base.memberFaults[member] = f;
    return;
  }
  for (auto& s : world_.servers)
    if (s.name == listener) s.memberFaults[member] = f;
}

void ServiceState::setDeploymentFault(long deploymentId, const Fault& f) {
  std::lock_guard lock(mutex_);
  for (auto& d : world_.deployments)
    if (d.id == deploymentId) d.downloadFault = f;
}

void ServiceState::setFileFault(long groupId, const std::string& fileName, const Fault& f) {
  std::lock_guard lock(mutex_);
  if (InstallEntry* e = findEntry(groupId, fileName)) e->fault = f;
}

void ServiceState::setFileRedirect(long groupId, const std::string& fileName, const std::string& url) {
  std::lock_guard lock(mutex_);
  if (InstallEntry* e = findEntry(groupId, fileName)) e->redirect = url;
}

void ServiceState::clearFaults() {
  std::lock_guard lock(mutex_);
  anyListenerFaults_.clear();
  world_.base.memberFaults.clear();
  for (auto& s : world_.servers) s.memberFaults.clear();
  for (auto& d : world_.deployments) d.downloadFault = {};
  for (auto& [id, g] : world_.groups)
    for (auto& e : g.entries) e.fault = {};
}

World ServiceState::world() const {
  std::lock_guard lock(mutex_);
  return world_;
}

std::string ServiceState::lastTokenOf(const std::string& filer, const std::string& login) const {
  std::lock_guard lock(mutex_);
  const Login* l = findLogin(filer, login);
  if (!l) return {};
  const auto it = lastToken_.find(static_cast<std::size_t>(l - world_.logins.data()));
  return it == lastToken_.end() ? std::string() : it->second;
}

InstallEntry* ServiceState::findEntry(long groupId, const std::string& fileName) {
  const auto g = world_.groups.find(groupId);
  if (g == world_.groups.end()) return nullptr;
  for (auto& e : g->second.entries)
    if (equalsNoCase(e.fileName, fileName)) return &e;
  return nullptr;
}

bool ServiceState::setFile(long groupId, const std::string& fileName, std::string content,
                           const std::optional<std::string>& version) {
  std::lock_guard lock(mutex_);
  InstallEntry* e = findEntry(groupId, fileName);
  if (!e) return false;
  e->content = std::make_shared<const std::string>(std::move(content));
  if (version) e->fileVersion = *version;
  auto& group = world_.groups.at(groupId);
  prepared_[groupId][static_cast<std::size_t>(e - group.entries.data())] = prepareEntry(*e);
  return true;
}

bool ServiceState::setLastUpdate(long groupId, const std::string& text) {
  std::lock_guard lock(mutex_);
  const auto g = world_.groups.find(groupId);
  if (g == world_.groups.end()) return false;
  g->second.lastUpdate = text;
  return true;
}

}  // namespace zentro::refservice
