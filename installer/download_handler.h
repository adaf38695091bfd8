#pragma once
// The transfer control's state-change handling: reports failed requests, saves a completed
// response in the temp folder chunk by chunk with byte progress (taking over the transfer's
// spool file there rather than writing a second copy), checks its length (and its SHA-256
// when the entry names one) and hands a complete file to the installation.
//
// Window thread only. Runs inside the install run's wait, and itself processes window
// messages between chunks.

#include <string>

#include "installer/inet_transfer.h"
#include "installer/run_state.h"
#include "platform/view.h"

namespace zentro {

class DownloadHandler {
 public:
  DownloadHandler(View& view, const WorkingFolders& folders, InstallSession& session,
                  InetTransfer& inet1);

  // Inet1_StateChanged: 11 = the request failed, 12 = the response is complete; other states
  // are ignored. Any failure marks the run (session.downloadFailed) and leaves the installed
  // file as it was. Ends by enabling tmrComInstall again.
  void Inet1_StateChanged(int state);

  // CancelXfer: abandons the transfer in progress.
  void CancelXfer();

 private:
  void responseCompleted();
  // Saves the body under `downloadPath`; true when complete and verified.
  bool saveBody(const std::string& downloadPath);
  void fail(const std::string& why);

  View& view_;
  const WorkingFolders& folders_;
  InstallSession& session_;
  InetTransfer& inet1_;
};

// lblBytes: received and expected in kilobytes, each rounded to the nearest whole number
// (halves to the even neighbour): "3k of 10k".
std::string formatByteProgress(long long received, long long expected);

// The download file of the current entry: tempFolder + separator + FileName (+ ".cmp").
std::string downloadPath(const std::string& tempFolder, const std::string& fileName,
                         bool compressed);

}  // namespace zentro
