// Dates as the system reads them: the locale-aware parser of OLE Automation (VarDateFromStr,
// the user's locale), after the unambiguous ISO 8601 form the service's rowsets carry.
#include "platform/date_parse.h"

#include <windows.h>
#include <oleauto.h>

#include "platform/win32/text_convert_win.h"
#include "remote/value_text.h"

namespace zentro::platform {

std::optional<DateValue> parseDate(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  if (auto iso = valuetext::parseIsoDate(text)) return iso;
  std::wstring wide = win32::toWide(text);
  if (wide.empty()) return std::nullopt;
  DATE date = 0;
  if (FAILED(VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &date))) return std::nullopt;
  return DateValue{date};
}

}  // namespace zentro::platform
