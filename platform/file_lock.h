#pragma once
// Whether another program holds a file open in a way that forbids deleting or replacing it.
// Windows: a sharing violation on open. Linux stand-in: an exclusive advisory lock (flock or
// fcntl) that another process holds on the file. Never throws.

#include <string>

namespace zentro::platform {

bool fileInUse(const std::string& path);

}  // namespace zentro::platform
