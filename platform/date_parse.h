#pragma once
// The date parser that decides what "a valid date" is, for the server's last-update texts and
// the stamp files alike. Linux: ISO 8601 (date, date-time, optional fraction and zone; the
// wall-clock value is kept) and the US forms M/D/YYYY, M/D/YYYY h:mm:ss AM/PM, M/D/YYYY H:mm:ss.
// Windows: the system's locale-aware parser.

#include <optional>
#include <string_view>

#include "remote/value.h"

namespace zentro::platform {

std::optional<DateValue> parseDate(std::string_view text);

}  // namespace zentro::platform
