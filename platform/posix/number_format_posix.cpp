// The locale is read into a locale object of its own: the process's global C and C++ locales,
// which other code relies on, stay as they are.
#include "platform/number_format.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <string_view>

namespace zentro::platform {
namespace {

constexpr char kDefaultSeparator[] = ",";

bool isAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string thousandsSeparator() {
  // The locale for numbers, chosen as the C library does (LC_ALL, then LC_NUMERIC, then LANG),
  // is opened for its character set too: the separator is written in that locale's encoding.
  std::string name = "C";
  for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) {
      name = value;
      break;
    }
  }
  locale_t numbers =
      newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (numbers == static_cast<locale_t>(nullptr)) return kDefaultSeparator;  // not installed
  std::string separator = nl_langinfo_l(THOUSEP, numbers);
  const bool utf8 = std::string_view(nl_langinfo_l(CODESET, numbers)) == "UTF-8";
  freelocale(numbers);
  // A separator in another encoding than the program's UTF-8 (a no-break space in a Latin-1
  // locale) cannot be shown as it is.
  if (separator.empty() || (!utf8 && !isAscii(separator))) return kDefaultSeparator;
  return separator;
}

}  // namespace zentro::platform
