#pragma once
// Update stamp files: one per install group in the deployment folder, named key + ".txt"
// (key = "INSTALL_" + group id), holding the server's last-update text of the group as it
// stood at the last complete update. Window thread only (the install run and the
// deployment start); no stamp file is touched elsewhere.

#include <optional>
#include <string>
#include <string_view>

namespace zentro {

namespace update_stamps {
inline constexpr std::string_view kKeyPrefix = "INSTALL_";
inline constexpr std::string_view kFileExtension = ".txt";
inline constexpr std::string_view kLineEnd = "\r\n";
}  // namespace update_stamps

// "INSTALL_" + the group id text; "" when the id text is empty.
std::string updateStampKey(const std::string& groupIdText);

// commonFolder + separator + key + ".txt".
std::string updateStampPath(const std::string& commonFolder, const std::string& key);

// The first line of the key's stamp file (up to CR, LF or the end), leading and trailing
// spaces removed. "" when the file cannot be opened or read. Never throws.
std::string ReadUpdateStamp(const std::string& commonFolder, const std::string& key);

// Writes the install group's stamp, then the custom group's, each only when its key is not
// empty and its server text is a valid date. The text is stored verbatim plus CR LF; a
// failure is ignored and leaves the previous stamp as it was. Never throws.
void WriteUpdateStamps(const std::string& commonFolder, const std::string& installGroupKey,
                       const std::string& installGroupServerStamp,
                       const std::string& customGroupKey,
                       const std::string& customGroupServerStamp);

// True when the platform's date parser accepts `text`.
bool isValidDate(std::string_view text);
// The text as a date (days since 1899-12-30, fraction = time of day); nullopt when not a date.
std::optional<double> dateOf(std::string_view text);
// A group is current when both texts are dates and the server's is not later than the local.
bool isStampCurrent(std::string_view serverStamp, std::string_view localStamp);

}  // namespace zentro
