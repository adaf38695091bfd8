#pragma once
// Whether another program holds a file open in a way that forbids deleting or replacing it.
// Windows: a sharing violation on open. Linux stand-in: an exclusive advisory lock (flock or
// fcntl) that another process holds on the file. And the program's own such hold on a file of
// its own, which tells other runs that the files it guards belong to a live run. Never throws.

#include <memory>
#include <string>

namespace zentro::platform {

bool fileInUse(const std::string& path);

// A hold on a file made for it: while the object lives, fileInUse(path) is true for every
// other look at the file (from this process too) and removeUnlessInUse leaves it alone.
// Releasing the hold removes the file. A process that dies holding one leaves the file
// behind on Linux, unlocked (Windows removes it with the process). A hold is its process's
// alone: a program it starts, or a child it forks, never keeps it.
class HeldFileLock {
 public:
  virtual ~HeldFileLock() = default;
};

// Creates `path` (which must not exist yet; a link is never followed) and holds it. nullptr
// when it cannot be created. Any thread.
std::unique_ptr<HeldFileLock> holdNewFileLock(const std::string& path);

// Removes `path` unless some process holds it (fileInUse). True when it was removed.
bool removeUnlessInUse(const std::string& path);

}  // namespace zentro::platform
