#include "app/update_stamps.h"

#include <cmath>

#include "platform/ascii_text.h"
#include "platform/date_parse.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "remote/value.h"

namespace zentro {
namespace {

// OLE dates before 1899-12-30 count the day backwards but the time forwards (-1.25 is
// 1899-12-29 06:00); this gives a number that grows with time on both sides.
double timeline(double oleDays) {
  if (oleDays >= 0) return oleDays;
  double day = std::trunc(oleDays);
  return day + (day - oleDays);
}

// Errors ignored throughout: a stamp that cannot be written only means a full check at the
// next start. The text goes to a new file created exclusively beside the stamp and replaces
// it in one step, so an interrupted write never leaves a truncated stamp behind and a link
// planted beside it is never written through.
void writeStamp(const std::string& commonFolder, const std::string& key,
                const std::string& stamp) {
  platform::StagedFile staged(updateStampPath(commonFolder, key));
  if (staged.write(stamp) && staged.write(update_stamps::kLineEnd)) staged.commit();
}

}  // namespace

std::string updateStampKey(const std::string& groupIdText) {
  if (groupIdText.empty()) return {};
  return std::string(update_stamps::kKeyPrefix) + groupIdText;
}

std::string updateStampPath(const std::string& commonFolder, const std::string& key) {
  return platform::joinPath(commonFolder, key + std::string(update_stamps::kFileExtension));
}

std::string ReadUpdateStamp(const std::string& commonFolder, const std::string& key) {
  const std::optional<std::string> text =
      platform::readWholeFile(updateStampPath(commonFolder, key));
  if (!text) return {};
  return std::string(platform::trim(text->substr(0, text->find_first_of("\r\n"))));
}

void WriteUpdateStamps(const std::string& commonFolder, const std::string& installGroupKey,
                       const std::string& installGroupServerStamp,
                       const std::string& customGroupKey,
                       const std::string& customGroupServerStamp) {
  if (!installGroupKey.empty() && isValidDate(installGroupServerStamp)) {
    writeStamp(commonFolder, installGroupKey, installGroupServerStamp);
  }
  if (!customGroupKey.empty() && isValidDate(customGroupServerStamp)) {
    writeStamp(commonFolder, customGroupKey, customGroupServerStamp);
  }
}

bool isValidDate(std::string_view text) { return platform::parseDate(text).has_value(); }

std::optional<double> dateOf(std::string_view text) {
  auto d = platform::parseDate(text);
  if (!d) return std::nullopt;
  return d->days;
}

bool isStampCurrent(std::string_view serverStamp, std::string_view localStamp) {
  auto server = dateOf(serverStamp);
  auto local = dateOf(localStamp);
  return server && local && timeline(*server) <= timeline(*local);
}

}  // namespace zentro
