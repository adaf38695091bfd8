// The date parser on Windows (platform/date_parse.h): the unambiguous ISO 8601 form the
// service's rowsets carry, then the locale-aware parser of OLE Automation (VarDateFromStr,
// the user's locale), whose day count is the program's own date.
#include "platform/date_parse.h"

#include <windows.h>
#include <oleauto.h>

#include "platform/ascii_text.h"
#include "platform/win32/text_convert_win.h"

namespace zentro::platform {

std::optional<DateValue> parseDate(std::string_view text) {
  text = trim(text, kBlanks);
  if (text.empty()) return std::nullopt;
  if (auto iso = parseIsoDate(text)) return iso;
  std::wstring wide = win32::toWide(text);
  if (wide.empty()) return std::nullopt;
  DATE date = 0;
  if (FAILED(VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &date))) return std::nullopt;
  return DateValue{date};
}

}  // namespace zentro::platform
