#pragma once
// What the service serves for install-file entries: the file itself, or for a compressed
// entry a ZIP archive holding the one file under its FileName; and where each is served.
// Pure functions; safe from any thread.

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "tools/refservice/world.h"

namespace zentro::refservice {

// The bytes served for one entry and the SHA256 value the install list carries for it.
struct PreparedEntry {
  std::shared_ptr<const std::string> served;  // nullptr = not available (404)
  std::string sha256;                         // "" = the install list carries no SHA256
};

// Builds the served bytes of `entry` (a ZIP for IsCompressed != 0). Throws std::runtime_error
// when the archive cannot be built.
PreparedEntry prepareEntry(const InstallEntry& entry);

// A ZIP archive in memory with one file `entryName` holding `content`.
std::string buildZip(const std::string& entryName, std::string_view content);

// Lower-case hex SHA-256 of `bytes`.
std::string sha256Hex(std::string_view bytes);

// Where a download path leads.
struct Route {
  long deploymentId = 0;
  long groupId = 0;
  std::size_t entryIndex = 0;
};

// The URL path (decoded, as the request names it) of an entry of a deployment on `server`:
// server path + "/" + trimmed type + "/InstallFiles/" + DownloadLocation.
std::string downloadPath(const Server& server, const Deployment& d, const InstallEntry& e);

// Every download path of the world, per listener name (lower-cased paths, since the
// servers the launcher meets compare paths without regard to case). The first deployment
// naming a path wins.
std::map<std::string, std::map<std::string, Route>> buildRoutes(const World& world);

std::string lowerAscii(std::string s);

}  // namespace zentro::refservice
