#include "platform/file_mode.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>

namespace zentro::platform {

bool makeRunnableIfProgram(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  char head[4] = {};
  std::ifstream in(path, std::ios::binary);
  in.read(head, sizeof head);
  const bool elf = in.gcount() == 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0;
  const bool script = in.gcount() >= 2 && head[0] == '#' && head[1] == '!';
  if (!elf && !script) return false;
  mode_t mode = st.st_mode & 07777;
  // Execute goes where read already is, so the file's audience does not widen.
  if (mode & S_IRUSR) mode |= S_IXUSR;
  if (mode & S_IRGRP) mode |= S_IXGRP;
  if (mode & S_IROTH) mode |= S_IXOTH;
  return ::chmod(path.c_str(), mode) == 0;
}

}  // namespace zentro::platform
