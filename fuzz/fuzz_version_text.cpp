// Version texts as they come from the server and from side files. The input holds an installed
// and an offered version separated by the first line break. parseVersion and IsNewerVersion
// never throw; the comparison must agree with the parsed parts and be a strict order.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "installer/version_compare.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t eol = input.find('\n');
  std::string_view installed = input.substr(0, eol);
  std::string_view offered =
      eol == std::string_view::npos ? std::string_view() : input.substr(eol + 1);

  auto have = zentro::parseVersion(installed);
  auto offer = zentro::parseVersion(offered);
  bool newer = zentro::IsNewerVersion(installed, offered, false);
  bool older = zentro::IsNewerVersion(offered, installed, false);

  if (zentro::IsNewerVersion(installed, offered, true)) std::abort();  // skipped: never newer
  if (zentro::IsNewerVersion(installed, installed, false)) std::abort();
  if (newer && older) std::abort();
  if (!offer && newer) std::abort();
  if (offer) {
    auto base = have.value_or(std::array<std::uint32_t, 4>{});
    if (newer != (*offer > base)) std::abort();
  }
  // Commas count as dots.
  std::string dotted(installed);
  for (char& c : dotted) {
    if (c == ',') c = '.';
  }
  if (zentro::parseVersion(dotted) != have) std::abort();
  return 0;
}
