// The machine registry hive on Linux: one INI-style text file.
//
// Where: $ZENTRO_MACHINE_HIVE when set, else $XDG_DATA_HOME (default ~/.local/share) +
// "/VMIZentro/machine-hive.ini".
//
// Format (UTF-8 or the 8-bit text the callers pass, line feed ends a line):
//   ; comment lines start with ';' or '#'
//   [SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts]      <- a key: its full path
//   Corvale Font arial.ttf=arial.ttf                          <- value name=data
// A key exists when its section exists, even without values. Key paths and value names match
// without regard to ASCII letter case; the spelling first written is kept. In value names
// the characters '%', '=', line feed, carriage return, NUL, and a leading '[', ';' or '#' are
// written as %XX (two hex digits); in data '%', line feed, carriage return and NUL are. Key
// paths are stored with empty components dropped ("A\\B\" is "A\B") and may not contain
// line breaks or ']'.
//
// Every change rewrites the whole file through a temporary file and rename, under an
// exclusive lock on hive + ".lock", so readers never see half a file and two writers do not
// lose each other's values.
#include "platform/machine_registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/ascii_text.h"
#include "platform/file_io.h"
#include "platform/posix/paths_posix.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;

constexpr char kHiveVariable[] = "ZENTRO_MACHINE_HIVE";
constexpr char kHiveRelative[] = "VMIZentro/machine-hive.ini";
constexpr char kHiveHeader[] =
    "; VMI Zentro machine registry stand-in. [key path], then name=data; %XX escapes.\n";

struct Value {
  std::string name;
  std::string data;
};

struct Key {
  std::string path;
  std::vector<Value> values;
};

using Hive = std::vector<Key>;

std::string hivePath() {
  if (const char* v = std::getenv(kHiveVariable); v && *v) return v;
  const std::string data = posix::xdgFolder("XDG_DATA_HOME", ".local/share");
  if (data.empty()) return {};
  return data + "/" + kHiveRelative;
}

// "A\\B\" -> "A\B"; "" when nothing is left or the path cannot be stored.
std::string normalKeyPath(const std::string& keyPath) {
  if (keyPath.find_first_of("\n\r]") != std::string::npos) return {};
  std::string out;
  std::size_t start = 0;
  while (start <= keyPath.size()) {
    std::size_t end = keyPath.find('\\', start);
    if (end == std::string::npos) end = keyPath.size();
    if (end > start) {
      if (!out.empty()) out += '\\';
      out.append(keyPath, start, end - start);
    }
    start = end + 1;
  }
  return out;
}

std::string escape(const std::string& text, bool isName) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    bool special = c == '%' || c == '\n' || c == '\r' || c == '\0' ||
                   (isName && (c == '=' || (i == 0 && (c == '[' || c == ';' || c == '#'))));
    if (special) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
        hexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

Hive loadHive(const std::string& path) {
  Hive hive;
  // Only a regular file of bounded size: anything else reads as an empty hive.
  std::istringstream in(readWholeFile(path).value_or(std::string()));
  std::string line;
  Key* current = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      std::size_t close = line.rfind(']');
      std::string keyPath = normalKeyPath(line.substr(1, close == std::string::npos
                                                             ? std::string::npos
                                                             : close - 1));
      current = nullptr;
      if (keyPath.empty()) continue;
      auto it = std::find_if(hive.begin(), hive.end(),
                             [&](const Key& k) { return equalsNoCaseAscii(k.path, keyPath); });
      if (it == hive.end()) {
        hive.push_back(Key{keyPath, {}});
        current = &hive.back();
      } else {
        current = &*it;
      }
      continue;
    }
    std::size_t eq = line.find('=');
    if (!current || eq == std::string::npos) continue;
    std::string name = unescape(line.substr(0, eq));
    std::string data = unescape(line.substr(eq + 1));
    auto it = std::find_if(current->values.begin(), current->values.end(),
                           [&](const Value& v) { return equalsNoCaseAscii(v.name, name); });
    if (it == current->values.end()) {
      current->values.push_back(Value{name, data});
    } else {
      it->data = data;
    }
  }
  return hive;
}

bool saveHive(const std::string& path, const Hive& hive) {
  std::ostringstream text;
  text << kHiveHeader;
  for (const Key& key : hive) {
    text << '[' << key.path << "]\n";
    for (const Value& v : key.values) {
      text << escape(v.name, true) << '=' << escape(v.data, false) << '\n';
    }
  }
  const std::string body = text.str();

  // A leftover of this process id goes first; the new file is then created exclusively, so a
  // link planted at the name is never written through.
  std::string temp = path + ".tmp." + std::to_string(getpid());
  ::unlink(temp.c_str());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  bool ok = true;
  while (done < body.size()) {
    ssize_t n = ::write(fd, body.data() + done, body.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

// Holds the hive's writer lock for its lifetime; the lock file sits beside the hive because
// the hive itself is replaced on every write.
class HiveLock {
 public:
  explicit HiveLock(const std::string& hive) {
    std::error_code ec;
    fs::create_directories(fs::path(hive).parent_path(), ec);
    fd_ = ::open((hive + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) {
      int r;
      do {
        r = ::flock(fd_, LOCK_EX);
      } while (r != 0 && errno == EINTR);
      if (r != 0) {
        ::close(fd_);
        fd_ = -1;
      }
    }
  }
  ~HiveLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  HiveLock(const HiveLock&) = delete;
  HiveLock& operator=(const HiveLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

Key* findKey(Hive& hive, const std::string& keyPath) {
  auto it = std::find_if(hive.begin(), hive.end(),
                         [&](const Key& k) { return equalsNoCaseAscii(k.path, keyPath); });
  return it == hive.end() ? nullptr : &*it;
}

}  // namespace

std::optional<std::string> readMachineString(const std::string& keyPath,
                                             const std::string& valueName) {
  std::string path = hivePath();
  std::string key = normalKeyPath(keyPath);
  if (path.empty() || key.empty()) return std::nullopt;
  Hive hive = loadHive(path);
  Key* k = findKey(hive, key);
  if (!k) return std::nullopt;
  for (const Value& v : k->values) {
    if (equalsNoCaseAscii(v.name, valueName)) return v.data;
  }
  return std::nullopt;
}

bool writeMachineString(const std::string& keyPath, const std::string& valueName,
                        const std::string& data) {
  std::string path = hivePath();
  std::string key = normalKeyPath(keyPath);
  if (path.empty() || key.empty()) return false;
  HiveLock lock(path);
  if (!lock.held()) return false;
  Hive hive = loadHive(path);
  Key* k = findKey(hive, key);
  if (!k) return false;
  auto it = std::find_if(k->values.begin(), k->values.end(),
                         [&](const Value& v) { return equalsNoCaseAscii(v.name, valueName); });
  if (it == k->values.end()) {
    k->values.push_back(Value{valueName, data});
  } else {
    it->data = data;
  }
  return saveHive(path, hive);
}

bool createMachineKey(const std::string& keyPath) {
  std::string path = hivePath();
  std::string key = normalKeyPath(keyPath);
  if (path.empty() || key.empty()) return false;
  HiveLock lock(path);
  if (!lock.held()) return false;
  Hive hive = loadHive(path);
  bool changed = false;
  // Parents first, as the registry creates them.
  for (std::size_t pos = 0;;) {
    std::size_t sep = key.find('\\', pos);
    std::string prefix = key.substr(0, sep);
    if (!findKey(hive, prefix)) {
      hive.push_back(Key{prefix, {}});
      changed = true;
    }
    if (sep == std::string::npos) break;
    pos = sep + 1;
  }
  return !changed || saveHive(path, hive);
}

}  // namespace zentro::platform
