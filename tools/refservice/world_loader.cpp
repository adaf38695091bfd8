// loadWorld (tools/refservice/world.h): reads world.ini, "[kind argument]" sections of "key =
// value" lines; "#" or ";" start a comment line. Every unknown section kind or key is an error, so
// typos surface at once.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>

#include "platform/ascii_text.h"
#include "tools/refservice/install_list_csv.h"
#include "tools/refservice/world.h"

namespace zentro::refservice {
namespace {

struct Section {
  std::string kind;
  std::string arg;
  int line = 0;
  std::vector<std::tuple<std::string, std::string, int>> entries;  // key, value, line
};

class Context {
 public:
  explicit Context(std::string file) : file_(std::move(file)) {}
  [[noreturn]] void fail(int line, const std::string& what) const {
    throw WorldError(file_ + ":" + std::to_string(line) + ": " + what);
  }
  long number(const std::string& text, int line, const char* what) const {
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || errno != 0 || *end != '\0')
      fail(line, std::string(what) + " \"" + text + "\" is not a whole number");
    return v;
  }
  std::optional<long> optionalId(const std::string& text, int line, const char* what) const {
    if (text.empty() || text == "<null>") return std::nullopt;
    return number(text, line, what);
  }
  Fault fault(const std::string& text, int line) const {
    std::string why;
    const auto f = parseFault(text, &why);
    if (!f) fail(line, why);
    return *f;
  }
  const std::string& file() const { return file_; }

 private:
  std::string file_;
};

std::vector<Section> readSections(const std::string& path, const Context& ctx) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw WorldError(ctx.file() + ": cannot open (" + std::strerror(errno) + ")");
  std::vector<Section> sections;
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    const std::string t(platform::trim(raw, platform::kWhiteSpace));
    if (t.empty() || t[0] == '#' || t[0] == ';') continue;
    if (t[0] == '[') {
      if (t.back() != ']') ctx.fail(line, "section header without closing \"]\"");
      const std::string inner(platform::trim(t.substr(1, t.size() - 2), platform::kWhiteSpace));
      const auto sp = inner.find_first_of(" \t");
      Section s;
      s.kind = inner.substr(0, sp);
      s.arg = sp == std::string::npos
                  ? std::string()
                  : std::string(platform::trim(inner.substr(sp), platform::kWhiteSpace));
      s.line = line;
      sections.push_back(std::move(s));
      continue;
    }
    const auto eq = t.find('=');
    if (eq == std::string::npos) ctx.fail(line, "expected \"key = value\" or a [section]");
    if (sections.empty()) ctx.fail(line, "\"" + t + "\" before the first [section]");
    const std::string key(platform::trim(t.substr(0, eq), platform::kWhiteSpace));
    if (key.empty()) ctx.fail(line, "empty key");
    for (const auto& e : sections.back().entries)
      if (std::get<0>(e) == key) ctx.fail(line, "key \"" + key + "\" given twice in this section");
    sections.back().entries.emplace_back(
        key, std::string(platform::trim(t.substr(eq + 1), platform::kWhiteSpace)), line);
  }
  return sections;
}

// Applies a listener section's keys (address, port, path, fault.<Member>).
bool applyServerKey(Server& s, const std::string& key, const std::string& value, int line,
                    const Context& ctx) {
  if (key == "address") {
    if (value.rfind("127.", 0) != 0) ctx.fail(line, "address must be a loopback address (127.x.x.x)");
    s.address = value;
  } else if (key == "port") {
    const long p = ctx.number(value, line, "port");
    if (p < 0 || p > 65535) ctx.fail(line, "port out of range");
    s.port = static_cast<int>(p);
  } else if (key == "path") {
    if (!value.empty() && value[0] != '/') ctx.fail(line, "path must start with \"/\"");
    s.path = value;
  } else if (key.rfind("fault.", 0) == 0 && key.size() > 6) {
    s.memberFaults[key.substr(6)] = ctx.fault(value, line);
  } else {
    return false;
  }
  return true;
}

std::vector<long> idList(const std::string& text, int line, const Context& ctx) {
  std::vector<long> ids;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto comma = text.find(',', start);
    const std::string piece(platform::trim(
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start),
        platform::kWhiteSpace));
    if (!piece.empty()) ids.push_back(ctx.number(piece, line, "deployment id"));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return ids;
}

}  // namespace

const Server* World::findServer(const std::string& name) const {
  for (const auto& s : servers)
    if (s.name == name) return &s;
  return nullptr;
}

const Deployment* World::findDeployment(long id) const {
  for (const auto& d : deployments)
    if (d.id == id) return &d;
  return nullptr;
}

void World::validate() const {
  for (const auto& d : deployments) {
    if (d.busObjUrl.empty() && !findServer(d.server))
      throw WorldError("deployment " + std::to_string(d.id) + ": unknown server \"" + d.server + "\"");
    for (const auto& g : {d.installGroup, d.customGroup})
      if (g && *g != 0 && !groups.count(*g))
        throw WorldError("deployment " + std::to_string(d.id) + ": unknown group " + std::to_string(*g));
  }
  for (const auto& l : logins) {
    if (!filers.count(l.filerCode))
      throw WorldError("login " + l.filerCode + "/" + l.name + ": unknown filer code");
    for (long id : l.deployments)
      if (!findDeployment(id))
        throw WorldError("login " + l.filerCode + "/" + l.name + ": unknown deployment " + std::to_string(id));
  }
}

World loadWorld(const std::string& dir, const WorldLoadOptions& options) {
  const Context ctx("world.ini");
  const auto sections = readSections(dir + "/world.ini", ctx);
  World w;
  std::set<std::string> seen;
  std::vector<std::function<void()>> checks;  // cross-references, once everything is read
  for (const auto& s : sections) {
    const std::string id = s.kind + " " + s.arg;
    if (!seen.insert(id).second) ctx.fail(s.line, "section [" + id + "] given twice");
    auto unknownKey = [&](const std::string& key, int line) {
      ctx.fail(line, "unknown key \"" + key + "\" in [" + s.kind + "]");
    };
    if (s.kind == "filer") {
      if (s.arg.empty()) ctx.fail(s.line, "[filer CODE] needs a code");
      std::string description;
      for (const auto& [k, v, line] : s.entries) {
        if (k == "description") description = v; else unknownKey(k, line);
      }
      w.filers[s.arg] = description;
    } else if (s.kind == "login") {
      const auto slash = s.arg.find('/');
      if (slash == std::string::npos || slash == 0 || slash + 1 == s.arg.size())
        ctx.fail(s.line, "[login CODE/NAME] needs a filer code and a login name");
      Login l;
      l.filerCode = s.arg.substr(0, slash);
      l.name = s.arg.substr(slash + 1);
      bool hasPassword = false;
      for (const auto& [k, v, line] : s.entries) {
        if (k == "password") { l.password = v; hasPassword = true; }
        else if (k == "deployments") l.deployments = idList(v, line, ctx);
        else unknownKey(k, line);
      }
      if (!hasPassword) ctx.fail(s.line, "[login " + s.arg + "] needs a password");
      const int line = s.line;
      checks.push_back([&w, &ctx, line, filer = l.filerCode, ids = l.deployments] {
        if (!w.filers.count(filer)) ctx.fail(line, "unknown filer code \"" + filer + "\"");
        for (long dep : ids)
          if (!w.findDeployment(dep)) ctx.fail(line, "unknown deployment " + std::to_string(dep));
      });
      w.logins.push_back(std::move(l));
    } else if (s.kind == "base") {
      if (!s.arg.empty()) ctx.fail(s.line, "[base] takes no argument");
      for (const auto& [k, v, line] : s.entries)
        if (!applyServerKey(w.base, k, v, line, ctx)) unknownKey(k, line);
    } else if (s.kind == "server") {
      if (s.arg.empty()) ctx.fail(s.line, "[server NAME] needs a name");
      Server srv;
      srv.name = s.arg;
      for (const auto& [k, v, line] : s.entries)
        if (!applyServerKey(srv, k, v, line, ctx)) unknownKey(k, line);
      w.servers.push_back(std::move(srv));
    } else if (s.kind == "deployment") {
      Deployment d;
      d.id = ctx.number(s.arg, s.line, "deployment id");
      for (const auto& [k, v, line] : s.entries) {
        if (k == "type") d.type = v;
        else if (k == "description") d.description = v;
        else if (k == "server") d.server = v;
        else if (k == "busObjUrl") d.busObjUrl = v;
        else if (k == "folder") d.deployFolder = v;
        else if (k == "installGroup") d.installGroup = ctx.optionalId(v, line, "installGroup");
        else if (k == "customGroup") d.customGroup = ctx.optionalId(v, line, "customGroup");
        else if (k == "checkForUpdates") d.checkForUpdates = v;
        else if (k == "fault") d.downloadFault = ctx.fault(v, line);
        else unknownKey(k, line);
      }
      if (d.type.empty()) ctx.fail(s.line, "[deployment " + s.arg + "] needs a type");
      if (d.server.empty() && d.busObjUrl.empty())
        ctx.fail(s.line, "[deployment " + s.arg + "] needs a server (or a literal busObjUrl)");
      const int line = s.line;
      checks.push_back([&w, &ctx, line, d] {
        if (d.busObjUrl.empty() && !w.findServer(d.server))
          ctx.fail(line, "unknown server \"" + d.server + "\"");
        for (const auto& g : {d.installGroup, d.customGroup})
          if (g && *g != 0 && !w.groups.count(*g))
            ctx.fail(line, "unknown group " + std::to_string(*g));
      });
      w.deployments.push_back(std::move(d));
    } else if (s.kind == "group") {
      InstallGroup g;
      g.id = ctx.number(s.arg, s.line, "group id");
      for (const auto& [k, v, line] : s.entries) {
        if (k == "lastUpdate") g.lastUpdate = v;
        else if (k == "list") {
          if (v.empty() || v[0] == '/' || v.find("..") != std::string::npos)
            ctx.fail(line, "list must name a file inside the world folder");
          g.entries = readInstallList(dir + "/" + v, v, dir + "/files", options);
        } else unknownKey(k, line);
      }
      w.groups[g.id] = std::move(g);
    } else {
      ctx.fail(s.line, "unknown section [" + s.kind +
                           "] (expected filer, login, base, server, deployment or group)");
    }
  }
  for (const auto& check : checks) check();
  return w;
}

}  // namespace zentro::refservice
