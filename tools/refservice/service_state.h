#pragma once
// The reference service's business state: the world it answers from, the URLs its
// listeners got, the login tokens it issued and the faults in force. Every public method
// locks; safe from any listener thread.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "remote/value.h"
#include "tools/refservice/install_files.h"
#include "tools/refservice/world.h"

namespace zentro::refservice {

// An error raised inside a business-object member; answered as DISP_E_EXCEPTION.
class MemberError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The login a token was issued to.
struct TokenOwner {
  std::string filerCode;
  std::string login;
};

// What a download request gets.
struct DownloadAnswer {
  bool found = false;
  std::shared_ptr<const std::string> bytes;
  Fault fault;                       // the fault to apply (already counted)
  std::string redirect;              // non-empty: answer "302 Found" with this Location
};

class ServiceState {
 public:
  // Takes the world and the URL of each listener (server name -> URL, "" = base object).
  // Builds the served bytes of every install entry; throws std::runtime_error on failure.
  void reset(World world, std::map<std::string, std::string> urls);

  // --- members (filer code and login are trimmed and compared without regard to case;
  // passwords exactly) ---
  std::string loginServersXml(const std::string& filer, const std::string& login) const;
  std::string deploymentsXml(const std::string& filer, const std::string& login) const;
  // True when the credentials are valid and the login may use a deployment on `listener`
  // ("" = any) whose type is CLIENT exactly when `isClient`.
  bool isValidLogin(const std::string& listener, const std::string& filer, const std::string& login,
                    const std::string& password, bool isClient) const;
  // A new token, or "" when the credentials are refused or the login has no deployment on
  // `listener`.
  std::string loginUser(const std::string& listener, const std::string& filer,
                        const std::string& login, const std::string& password);
  // Throws MemberError for an unknown token.
  TokenOwner ownerOf(const std::string& token) const;
  // The group's last-update text for key "INSTALL_<id>"; "" for an unknown key or group.
  std::string lastUpdate(const std::string& token, const std::string& key) const;
  // Rows of the install group, then of the custom group when it is neither null nor 0.
  // Throws MemberError for an unknown token, an unknown group or a group the login may not use.
  std::string installFilesXml(const std::string& token, const Value& installGroup,
                              const Value& customGroup) const;

  // --- downloads ---
  DownloadAnswer download(const std::string& listener, const std::string& path);

  // --- faults (remaining counts are consumed by take/download) ---
  Fault takeMemberFault(const std::string& listener, const std::string& member);
  void setMemberFault(const std::string& listener, const std::string& member, const Fault& f);
  void setDeploymentFault(long deploymentId, const Fault& f);
  void setFileFault(long groupId, const std::string& fileName, const Fault& f);
  void setFileRedirect(long groupId, const std::string& fileName, const std::string& url);
  void clearFaults();

  // --- world access ---
  World world() const;
  std::string lastTokenOf(const std::string& filer, const std::string& login) const;
  // Replaces an entry's bytes (and its FileVersion when given). False when there is no
  // such entry.
  bool setFile(long groupId, const std::string& fileName, std::string content,
               const std::optional<std::string>& version);
  bool setLastUpdate(long groupId, const std::string& text);

 private:
  const Login* findLogin(const std::string& filer, const std::string& login) const;
  bool servedAt(const Deployment& d, const std::string& listener) const;
  std::string urlOf(const Deployment& d) const;
  InstallEntry* findEntry(long groupId, const std::string& fileName);

  mutable std::mutex mutex_;
  World world_;
  std::map<std::string, std::string> urls_;
  std::map<long, std::vector<PreparedEntry>> prepared_;
  std::map<std::string, std::map<std::string, Route>> routes_;
  std::map<std::string, std::size_t> tokens_;          // token -> index into world_.logins
  std::map<std::size_t, std::string> lastToken_;       // login index -> last token
  std::map<std::string, Fault> anyListenerFaults_;     // member ("*" = any) on every listener
};

}  // namespace zentro::refservice
