#pragma once
// The reference business-object service: hosts "CVBO_V2.Init" and "CVBOGeneral_V3.Init"
// over the RDS HTTP transport on loopback, one listener for the base login object and one
// per login server of the world, and serves each deployment's install files below
// <BusObjURL path>/<DeploymentType>/InstallFiles/. Used in-process by the tests and by the
// zentro-refservice program.
//
// Threads: start/stop from one controlling thread; the query, fault and world methods may be
// called from any thread while the service runs (requests are answered on listener threads).
// start() ignores SIGPIPE process-wide, since a client may hang up in mid-answer.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/refservice/call_log.h"
#include "tools/refservice/fault.h"
#include "tools/refservice/world.h"

namespace zentro::refservice {

struct RefServiceOptions {
  bool https = false;
  std::string certFile;     // PEM, with https
  std::string keyFile;      // PEM, with https
  // 0 = every listener on a free port (unless the world fixes one); N = the base login
  // object on N and the login servers on N+1, N+2, ... in world order.
  int basePort = 0;
  std::string logFolder;    // "" = keep records in memory only
};

class RefService {
 public:
  RefService();
  ~RefService();  // stops
  RefService(const RefService&) = delete;
  RefService& operator=(const RefService&) = delete;

  // Binds every listener and starts answering. Throws std::runtime_error (port in use,
  // bad certificate, archive failure, log folder) with nothing left running.
  void start(const World& world, const RefServiceOptions& options = {});
  void stop();
  bool running() const;

  // URL of the base login object (what the launcher's "BaseURL" names), e.g.
  // "http://127.0.0.1:40123/cvbo"; "" when not running.
  std::string baseUrl() const;
  // BusObjURL of a login server; "" when there is no such server.
  std::string serverUrl(const std::string& serverName) const;
  int serverPort(const std::string& serverName) const;  // "" = base object; 0 = none

  // What the service saw.
  std::vector<CallRecord> calls() const;
  std::vector<NoteRecord> notes() const;
  std::vector<DownloadRecord> downloads() const;
  void clearRecords();
  std::string logFilePath() const;  // "" without a log folder

  // Faults. `listener`: a server name, "" = the base login object, "*" = every listener;
  // `member` "*" = every member.
  void setMemberFault(const std::string& listener, const std::string& member, const Fault& fault);
  void setDeploymentFault(long deploymentId, const Fault& fault);
  void setFileFault(long groupId, const std::string& fileName, const Fault& fault);
  // Downloads of the file answer "302 Found" with `url` as Location ("" = serve it again).
  void setFileRedirect(long groupId, const std::string& fileName, const std::string& url);
  void clearFaults();

  // The world as it stands now (with run-time changes).
  World world() const;
  // Replaces the bytes (and optionally the FileVersion) of an entry; false when absent.
  bool setFile(long groupId, const std::string& fileName, std::string content,
               const std::optional<std::string>& version = std::nullopt);
  // Sets a group's last-update text; false when there is no such group.
  bool setLastUpdate(long groupId, const std::string& text);
  // The last login token issued to a login; "" when none.
  std::string lastTokenOf(const std::string& filerCode, const std::string& login) const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zentro::refservice
