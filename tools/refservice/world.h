#pragma once
// The data the reference service answers from: filer codes, logins, login servers,
// deployments, install groups with their install-file lists, and the bytes of every file.
// loadWorld reads it from a human-edited folder (format in tools/refservice/README.md).
// Plain value types; no thread affinity.

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/refservice/fault.h"

namespace zentro::refservice {

// A world that cannot be loaded; what() is "file:line: message" (line omitted when unknown).
class WorldError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Login {
  std::string filerCode;
  std::string name;
  std::string password;
  std::vector<long> deployments;  // ids of the deployments this login may use
};

// One listener: a login server, or the base login object.
struct Server {
  std::string name;                // "" for the base login object
  std::string address = "127.0.0.1";
  int port = 0;                    // 0 = chosen when the service starts
  std::string path;                // URL path after host:port, e.g. "/cvbo" (may be "")
  std::map<std::string, Fault> memberFaults;  // member name -> fault on this listener
};

// One row of an install-file list, plus what the service serves for it.
struct InstallEntry {
  std::string fileName;
  long sequenceId = 0;
  int installType = 0;
  std::string fileVersion;
  std::optional<std::string> altCheck;          // nullopt = NULL in the answer
  std::optional<std::string> altCheckRegValue;
  std::string installLocation;
  std::string description;
  int isCompressed = 0;
  std::string downloadLocation;
  std::string sha256;              // "" = no SHA256 value; "auto" = digest of the served bytes
  // Bytes of the file; nullptr = the service answers 404 for it.
  std::shared_ptr<const std::string> content;
  Fault fault;                     // on downloads of this file
  std::string redirect;            // non-empty: downloads answer "302 Found" to this URL
};

struct InstallGroup {
  long id = 0;
  std::string lastUpdate;          // returned verbatim by GetUpdateInfoLastUpdate; "" = none
  std::vector<InstallEntry> entries;
};

struct Deployment {
  long id = 0;
  std::string type;                // "BROKER", "CLIENT", ... (sent as written)
  std::string description;
  std::string server;              // name of the login server hosting it
  std::string busObjUrl;           // literal BusObjURL; "" = the server's URL
  std::string deployFolder;
  std::optional<long> installGroup;
  std::optional<long> customGroup;
  std::string checkForUpdates;     // "Y", "N" or anything else
  Fault downloadFault;             // on every download of this deployment
};

struct World {
  std::map<std::string, std::string> filers;  // code -> description
  std::vector<Login> logins;
  Server base;                                // the base login object
  std::vector<Server> servers;
  std::vector<Deployment> deployments;
  std::map<long, InstallGroup> groups;

  const Server* findServer(const std::string& name) const;
  const Deployment* findDeployment(long id) const;
  // Checks references (servers, groups, deployments of logins); throws WorldError.
  void validate() const;
};

struct WorldLoadOptions {
  // File delivered for the source "{demo-app}"; "" = such an entry is an error.
  std::string demoAppPath;
};

// Reads DIR/world.ini, the group lists it names and the files they point at.
// Throws WorldError naming the file and line of the first problem.
World loadWorld(const std::string& dir, const WorldLoadOptions& options = {});

}  // namespace zentro::refservice
