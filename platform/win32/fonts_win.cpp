// Fonts on Windows: AddFontResourceW (until log-off) and the WM_FONTCHANGE broadcast.
#include "platform/fonts.h"

#include <windows.h>

#include "platform/paths.h"
#include "platform/win32/text_convert_win.h"

namespace zentro::platform {
namespace {

// A window that does not answer the broadcast must not hold the launcher up for good; the
// others have all been told by the time this runs out.
constexpr UINT kBroadcastTimeoutMs = 5000;
constexpr char kFontsFolderName[] = "Fonts";

}  // namespace

int addFontResource(const std::string& path) {
  const std::wstring wide = win32::toWide(path);
  if (wide.empty()) return 0;
  return AddFontResourceW(wide.c_str());
}

void broadcastFontChange() {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                      kBroadcastTimeoutMs, &ignored);
}

std::string userFontFolder() {
  std::string windows = windowsFolder();
  return windows.empty() ? std::string() : joinPath(windows, kFontsFolderName);
}

bool installUserFont(const std::string& /*path*/) {
  // The update places fonts in the Windows fonts folder, which is permanent already.
  return true;
}

}  // namespace zentro::platform
