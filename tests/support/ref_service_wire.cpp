#include "tests/support/ref_service_wire.h"

#include <cstdlib>

#include "remote/rds_wire.h"

namespace zentro::testing::control {
namespace {

using refservice::Fault;

constexpr char kHex[] = "0123456789ABCDEF";

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string optionalText(const std::optional<std::string>& v) { return v ? "=" + *v : "-"; }
std::optional<std::string> optionalFrom(const std::string& field) {
  if (field == "-") return std::nullopt;
  if (field.empty() || field[0] != '=') throw WireError("bad optional field \"" + field + "\"");
  return field.substr(1);
}
std::string optionalId(const std::optional<long>& v) {
  return v ? "=" + std::to_string(*v) : "-";
}

long number(const std::string& field) {
  char* end = nullptr;
  const long v = std::strtol(field.c_str(), &end, 10);
  if (field.empty() || *end != '\0') throw WireError("bad number \"" + field + "\"");
  return v;
}
std::optional<long> optionalIdFrom(const std::string& field) {
  const auto text = optionalFrom(field);
  return text ? std::optional<long>(number(*text)) : std::nullopt;
}

void addFault(Line& line, const Fault& f) {
  line.push_back(std::to_string(static_cast<int>(f.kind)));
  line.push_back(std::to_string(f.amount));
  line.push_back(std::to_string(f.remaining));
}
Fault faultFrom(const Line& line, std::size_t at) {
  Fault f;
  const long kind = number(line.at(at));
  if (kind < 0 || kind > static_cast<long>(Fault::Kind::VtError)) throw WireError("bad fault kind");
  f.kind = static_cast<Fault::Kind>(kind);
  f.amount = number(line.at(at + 1));
  f.remaining = static_cast<int>(number(line.at(at + 2)));
  return f;
}

std::string idList(const std::vector<long>& ids) {
  std::string s;
  for (long id : ids) s += (s.empty() ? "" : ",") + std::to_string(id);
  return s;
}
std::vector<long> idsFrom(const std::string& field) {
  std::vector<long> ids;
  for (std::size_t at = 0; at < field.size();) {
    const std::size_t comma = std::min(field.find(',', at), field.size());
    ids.push_back(number(field.substr(at, comma - at)));
    at = comma + 1;
  }
  return ids;
}

Line serverLine(const char* tag, const refservice::Server& s) {
  return {tag, s.name, s.address, std::to_string(s.port), s.path};
}
void addServerFaults(std::vector<Line>& lines, const refservice::Server& s) {
  for (const auto& [member, fault] : s.memberFaults) {
    Line line = {"fault", member};
    addFault(line, fault);
    lines.push_back(std::move(line));
  }
}

}  // namespace

std::string encodeLines(const std::vector<Line>& lines) {
  std::string out;
  for (const Line& line : lines) {
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (i > 0) out += '\t';
      for (unsigned char c : line[i]) {
        if (c == '%' || c < 0x20 || c == 0x7F) {
          out += '%';
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
      }
    }
    out += '\n';
  }
  return out;
}

std::vector<Line> decodeLines(std::string_view text) {
  std::vector<Line> lines;
  Line line(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      lines.push_back(std::move(line));
      line.assign(1, std::string());
    } else if (c == '\t') {
      line.emplace_back();
    } else if (c == '%') {
      const int hi = i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
      const int lo = hi >= 0 ? hexDigit(text[i + 2]) : -1;
      if (lo < 0) throw WireError("broken escape");
      line.back() += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      line.back() += c;
    }
  }
  if (line.size() > 1 || !line[0].empty()) throw WireError("last line without its end");
  return lines;
}

std::vector<Line> worldLines(const refservice::World& w) {
  std::vector<Line> lines;
  for (const auto& [code, description] : w.filers) lines.push_back({"filer", code, description});
  for (const auto& l : w.logins) {
    lines.push_back({"login", l.filerCode, l.name, l.password, idList(l.deployments)});
  }
  lines.push_back(serverLine("base", w.base));
  addServerFaults(lines, w.base);
  for (const auto& s : w.servers) {
    lines.push_back(serverLine("server", s));
    addServerFaults(lines, s);
  }
  for (const auto& d : w.deployments) {
    Line line = {"deployment",     std::to_string(d.id),    d.type,
                 d.description,    d.server,                d.busObjUrl,
                 d.deployFolder,   optionalId(d.installGroup), optionalId(d.customGroup),
                 d.checkForUpdates};
    addFault(line, d.downloadFault);
    lines.push_back(std::move(line));
  }
  for (const auto& [id, g] : w.groups) {
    lines.push_back({"group", std::to_string(id), g.lastUpdate});
    for (const auto& e : g.entries) {
      Line line = {"entry",
                   e.fileName,
                   std::to_string(e.sequenceId),
                   std::to_string(e.installType),
                   e.fileVersion,
                   optionalText(e.altCheck),
                   optionalText(e.altCheckRegValue),
                   e.installLocation,
                   e.description,
                   std::to_string(e.isCompressed),
                   e.downloadLocation,
                   e.sha256,
                   optionalText(e.content ? std::optional<std::string>(*e.content) : std::nullopt)};
      addFault(line, e.fault);
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

refservice::World worldFromLines(const std::vector<Line>& lines) {
  refservice::World w;
  refservice::Server* listener = nullptr;  // the one "fault" lines belong to
  refservice::InstallGroup* group = nullptr;
  for (const Line& f : lines) {
    const std::string& tag = f.at(0);
    auto need = [&](std::size_t n) {
      if (f.size() != n) throw WireError("\"" + tag + "\" needs " + std::to_string(n) + " fields");
    };
    if (tag == "filer") {
      need(3);
      w.filers[f[1]] = f[2];
    } else if (tag == "login") {
      need(5);
      w.logins.push_back({f[1], f[2], f[3], idsFrom(f[4])});
    } else if (tag == "base" || tag == "server") {
      need(5);
      refservice::Server s;
      s.name = f[1];
      s.address = f[2];
      s.port = static_cast<int>(number(f[3]));
      s.path = f[4];
      if (tag == "base") {
        w.base = s;
        listener = &w.base;
      } else {
        w.servers.push_back(s);
        listener = &w.servers.back();
      }
    } else if (tag == "fault") {
      need(5);
      if (!listener) throw WireError("a fault before any listener");
      listener->memberFaults[f[1]] = faultFrom(f, 2);
    } else if (tag == "deployment") {
      need(13);
      refservice::Deployment d;
      d.id = number(f[1]);
      d.type = f[2];
      d.description = f[3];
      d.server = f[4];
      d.busObjUrl = f[5];
      d.deployFolder = f[6];
      d.installGroup = optionalIdFrom(f[7]);
      d.customGroup = optionalIdFrom(f[8]);
      d.checkForUpdates = f[9];
      d.downloadFault = faultFrom(f, 10);
      w.deployments.push_back(std::move(d));
    } else if (tag == "group") {
      need(3);
      group = &w.groups[number(f[1])];
      group->id = number(f[1]);
      group->lastUpdate = f[2];
    } else if (tag == "entry") {
      need(16);
      if (!group) throw WireError("an entry before any group");
      refservice::InstallEntry e;
      e.fileName = f[1];
      e.sequenceId = number(f[2]);
      e.installType = static_cast<int>(number(f[3]));
      e.fileVersion = f[4];
      e.altCheck = optionalFrom(f[5]);
      e.altCheckRegValue = optionalFrom(f[6]);
      e.installLocation = f[7];
      e.description = f[8];
      e.isCompressed = static_cast<int>(number(f[9]));
      e.downloadLocation = f[10];
      e.sha256 = f[11];
      if (auto content = optionalFrom(f[12])) {
        e.content = std::make_shared<const std::string>(std::move(*content));
      }
      e.fault = faultFrom(f, 13);
      group->entries.push_back(std::move(e));
    } else {
      throw WireError("unknown line \"" + tag + "\"");
    }
  }
  return w;
}

std::vector<Line> recordLines(const Records& r) {
  std::vector<Line> lines;
  for (const auto& c : r.calls) {
    Line line = {"call", c.listener, c.progId, c.member, c.outcome};
    for (const Value& v : c.args) {
      std::string bytes;
      try {
        rds::encodeValue(v, bytes);
      } catch (const rds::WireError&) {  // no wire form: its text stands in
        bytes.clear();
        rds::encodeValue(Value(v.debugText()), bytes);
      }
      line.push_back(std::move(bytes));
    }
    lines.push_back(std::move(line));
  }
  for (const auto& n : r.notes) lines.push_back({"note", n.filerCode, n.login, n.text});
  for (const auto& d : r.downloads) {
    lines.push_back({"download", d.listener, d.path, std::to_string(d.status), d.outcome});
  }
  return lines;
}

Records recordsFromLines(const std::vector<Line>& lines) {
  Records r;
  const auto now = std::chrono::system_clock::now();
  for (const Line& f : lines) {
    const std::string& tag = f.at(0);
    if (tag == "call" && f.size() >= 5) {
      refservice::CallRecord c{now, f[1], f[2], f[3], {}, f[4]};
      for (std::size_t i = 5; i < f.size(); ++i) {
        std::size_t pos = 0;
        try {
          c.args.push_back(rds::decodeValue(f[i], pos));
        } catch (const rds::WireError& e) {
          throw WireError(std::string("bad argument: ") + e.what());
        }
      }
      r.calls.push_back(std::move(c));
    } else if (tag == "note" && f.size() == 4) {
      r.notes.push_back({now, f[1], f[2], f[3]});
    } else if (tag == "download" && f.size() == 5) {
      r.downloads.push_back({now, f[1], f[2], static_cast<int>(number(f[3])), f[4]});
    } else {
      throw WireError("unknown record \"" + tag + "\"");
    }
  }
  return r;
}

}  // namespace zentro::testing::control
