#include "installer/count_format.h"

#include "platform/number_format.h"

namespace zentro {

std::string formatCount(long long n) { return formatCount(n, platform::thousandsSeparator()); }

std::string formatCount(long long n, std::string_view separator) {
  // Work on the unsigned magnitude so the smallest long long has a magnitude too.
  unsigned long long magnitude =
      n < 0 ? 0ull - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
  std::string digits = std::to_string(magnitude);
  std::string out;
  out.reserve(digits.size() + (digits.size() / 3 + 1) * separator.size());
  if (n < 0) out.push_back('-');
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.append(separator);
    out.push_back(digits[i]);
  }
  return out;
}

}  // namespace zentro
