#pragma once
// The date parser that decides what "a valid date" is, for the server's last-update texts and
// the stamp files alike. Both platforms accept ISO 8601 (calendar.h, parseIsoDate). Then
// Linux: the US forms M/D/YYYY, M/D/YYYY h:mm:ss AM/PM, M/D/YYYY H:mm:ss; Windows: the
// locale-aware parser of OLE Automation for the user's locale. Any thread; never throws.

#include <optional>
#include <string_view>

#include "platform/calendar.h"

namespace zentro::platform {

// The date the text names; nullopt when it is not a date.
std::optional<DateValue> parseDate(std::string_view text);

}  // namespace zentro::platform
