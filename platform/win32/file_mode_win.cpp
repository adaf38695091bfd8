// Windows runs any program file it is given: nothing to change, only whether the file exists.
#include "platform/file_mode.h"

#include <windows.h>

#include "platform/win32/text_convert_win.h"

namespace zentro::platform {

bool makeRunnableIfProgram(const std::string& path) {
  const std::wstring wide = win32::toWide(path);
  if (wide.empty()) return false;
  const DWORD attrs = GetFileAttributesW(wide.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace zentro::platform
