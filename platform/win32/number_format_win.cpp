#include "platform/number_format.h"

#include <windows.h>

#include "platform/win32/text_convert_win.h"

namespace zentro::platform {

std::string thousandsSeparator() {
  // The user's regional settings, their own changes included; at most three characters.
  wchar_t buffer[8] = {};
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, buffer, 8);
  std::string separator = n > 1 ? win32::fromWideUntilNul(std::wstring_view(buffer, 8)) : "";
  return separator.empty() ? std::string(",") : separator;
}

}  // namespace zentro::platform
