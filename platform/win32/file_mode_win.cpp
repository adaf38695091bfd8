// Windows runs any program file it is given: nothing to change, only whether the file exists.
#include "platform/file_mode.h"

#include <windows.h>

namespace zentro::platform {

bool makeRunnableIfProgram(const std::string& path) {
  const DWORD attrs = GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace zentro::platform
