#include "platform/file_mode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace zentro::platform {

bool makeRunnableIfProgram(const std::string& path) {
  // Opened without following a link, and changed through the descriptor: a link planted at
  // the path never passes the right on to what it leads to.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  char head[4] = {};
  ssize_t got = 0;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) got = ::read(fd, head, sizeof head);
  const bool elf = got == 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0;
  const bool script = got >= 2 && head[0] == '#' && head[1] == '!';
  bool runnable = false;
  if (elf || script) {
    mode_t mode = st.st_mode & 07777;
    // Execute goes where read already is, so the file's audience does not widen.
    if (mode & S_IRUSR) mode |= S_IXUSR;
    if (mode & S_IRGRP) mode |= S_IXGRP;
    if (mode & S_IROTH) mode |= S_IXOTH;
    runnable = ::fchmod(fd, mode) == 0;
  }
  ::close(fd);
  return runnable;
}

}  // namespace zentro::platform
