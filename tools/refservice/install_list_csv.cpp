#include "tools/refservice/install_list_csv.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "platform/ascii_text.h"
#include "tools/refservice/install_files.h"

namespace zentro::refservice {
namespace {

enum class Column {
  FileName, SequenceID, InstallType, FileVersion, AltCheck, AltCheckRegValue, InstallLocation,
  Description, IsCompressed, DownloadLocation, SHA256, Source, Fault,
};

const std::map<std::string, Column>& columnNames() {
  static const std::map<std::string, Column> names = {
      {"filename", Column::FileName},         {"sequenceid", Column::SequenceID},
      {"installtype", Column::InstallType},   {"fileversion", Column::FileVersion},
      {"altcheck", Column::AltCheck},         {"altcheckregvalue", Column::AltCheckRegValue},
      {"installlocation", Column::InstallLocation}, {"description", Column::Description},
      {"iscompressed", Column::IsCompressed}, {"downloadlocation", Column::DownloadLocation},
      {"sha256", Column::SHA256},             {"source", Column::Source},
      {"fault", Column::Fault},
  };
  return names;
}

bool parseLong(const std::string& s, long& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  out = v;
  return true;
}

bool isHexDigest(const std::string& s) {
  if (s.size() != 64) return false;
  for (char c : s)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

bool readWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return false;
  out = ss.str();
  return true;
}

bool splitCsvLine(const std::string& line, std::vector<std::string>& cells,
                  std::vector<bool>& quoted) {
  cells.clear();
  quoted.clear();
  std::size_t i = 0;
  for (;;) {
    std::string cell;
    bool isQuoted = false;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i < line.size() && line[i] == '"') {
      isQuoted = true;
      ++i;
      for (;;) {
        if (i >= line.size()) return false;
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') { cell += '"'; i += 2; continue; }
          ++i;
          break;
        }
        cell += line[i++];
      }
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
      if (i < line.size() && line[i] != ',') return false;
    } else {
      const auto comma = line.find(',', i);
      cell = platform::trim(
          line.substr(i, comma == std::string::npos ? std::string::npos : comma - i),
          platform::kWhiteSpace);
      i = comma == std::string::npos ? line.size() : comma;
    }
    cells.push_back(cell);
    quoted.push_back(isQuoted);
    if (i >= line.size()) return true;
    ++i;  // the comma
  }
}

std::vector<InstallEntry> readInstallList(const std::string& csvPath, const std::string& displayName,
                                          const std::string& filesDir,
                                          const WorldLoadOptions& options) {
  std::ifstream in(csvPath, std::ios::binary);
  if (!in) throw WorldError(displayName + ": cannot open the install list (" + std::strerror(errno) + ")");
  std::vector<InstallEntry> entries;
  std::vector<Column> header;
  std::string line;
  int lineNo = 0;
  std::vector<std::string> cells;
  std::vector<bool> quoted;
  while (std::getline(in, line)) {
    ++lineNo;
    const std::string where = displayName + ":" + std::to_string(lineNo) + ": ";
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string t(platform::trim(line, platform::kWhiteSpace));
    if (t.empty() || t[0] == '#') continue;
    if (!splitCsvLine(line, cells, quoted)) throw WorldError(where + "unbalanced quotes");
    if (header.empty()) {
      std::map<Column, bool> seen;
      for (const auto& c : cells) {
        const auto it = columnNames().find(lowerAscii(c));
        if (it == columnNames().end()) throw WorldError(where + "unknown column \"" + c + "\"");
        if (seen[it->second]) throw WorldError(where + "column \"" + c + "\" given twice");
        seen[it->second] = true;
        header.push_back(it->second);
      }
      for (Column required : {Column::FileName, Column::SequenceID, Column::InstallType})
        if (!seen[required])
          throw WorldError(where + "the header needs the columns FileName, SequenceID and InstallType");
      continue;
    }
    if (cells.size() != header.size())
      throw WorldError(where + "expected " + std::to_string(header.size()) + " cells, found " +
                       std::to_string(cells.size()));
    InstallEntry e;
    e.altCheck = std::string();
    e.altCheckRegValue = std::string();
    std::string source;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const std::string& v = cells[i];
      const bool isNull = !quoted[i] && v == "<null>";
      auto number = [&](const char* name) {
        long n = 0;
        if (!parseLong(v, n)) throw WorldError(where + name + " \"" + v + "\" is not a whole number");
        return n;
      };
      switch (header[i]) {
        case Column::FileName: e.fileName = v; break;
        case Column::SequenceID: e.sequenceId = number("SequenceID"); break;
        case Column::InstallType: {
          const long n = number("InstallType");
          if (n < -32768 || n > 32767) throw WorldError(where + "InstallType out of the 16-bit range");
          e.installType = static_cast<int>(n);
          break;
        }
        case Column::FileVersion: e.fileVersion = v; break;
        case Column::AltCheck:
          if (isNull) e.altCheck.reset(); else e.altCheck = v;
          break;
        case Column::AltCheckRegValue:
          if (isNull) e.altCheckRegValue.reset(); else e.altCheckRegValue = v;
          break;
        case Column::InstallLocation: e.installLocation = v; break;
        case Column::Description: e.description = v; break;
        case Column::IsCompressed: e.isCompressed = v.empty() ? 0 : static_cast<int>(number("IsCompressed")); break;
        case Column::DownloadLocation: e.downloadLocation = v; break;
        case Column::SHA256:
          if (!v.empty() && v != "auto" && !isHexDigest(v))
            throw WorldError(where + "SHA256 must be empty, \"auto\" or 64 hex digits");
          e.sha256 = v;
          break;
        case Column::Source: source = v; break;
        case Column::Fault: {
          if (v.empty()) break;
          std::string why;
          const auto f = parseFault(v, &why);
          if (!f) throw WorldError(where + why);
          e.fault = *f;
          break;
        }
      }
    }
    if (e.fileName.empty()) throw WorldError(where + "FileName is empty");
    // Where the bytes come from: the Source cell, else the download location in files/.
    if (source.empty()) source = e.downloadLocation;
    if (source == "{missing}" || source.empty()) {
      e.content = nullptr;  // nothing to serve: a launch record, or a file the server lacks
    } else {
      std::string path;
      if (source == "{demo-app}") {
        if (options.demoAppPath.empty())
          throw WorldError(where + "the source {demo-app} needs the demo application's path (--demo-app)");
        path = options.demoAppPath;
      } else if (source[0] == '/') {
        path = source;
      } else {
        if (source.find("..") != std::string::npos)
          throw WorldError(where + "source \"" + source + "\" leaves the files folder");
        path = filesDir + "/" + source;
      }
      auto bytes = std::make_shared<std::string>();
      if (!readWholeFile(path, *bytes))
        throw WorldError(where + "cannot read the file \"" + path + "\" (" + std::strerror(errno) + ")");
      e.content = std::move(bytes);
    }
    entries.push_back(std::move(e));
  }
  if (header.empty()) throw WorldError(displayName + ": no header line");
  return entries;
}

}  // namespace zentro::refservice
