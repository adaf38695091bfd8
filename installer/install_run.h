#pragma once
// The install run: one walk over installList per tick of tmrComInstall.
// Window thread only. A tick that arrives while a walk is in progress does nothing.

#include <memory>
#include <string>

#include "installer/run_state.h"
#include "platform/http.h"
#include "platform/view.h"

namespace zentro {

// What the install run needs from the rest of the window's logic.
class InstallHost {
 public:
  virtual ~InstallHost() = default;
  // The launch stage, at a launch record (SequenceID >= 9999) with session.targetPath set.
  // May throw RuntimeError (a failed launch), which ends the program.
  virtual void launchApplication() = 0;
  // Writes the update stamps (called at the end of a full, successful update).
  virtual void writeUpdateStamps() = 0;
};

class InstallRun {
 public:
  InstallRun(View& view, const WorkingFolders& folders, InstallSession& session,
             InstallHost& host);
  ~InstallRun();

  // tmrComInstall_Timer.
  void tick();
  bool walking() const { return walking_; }

 private:
  class Impl;
  View& view_;
  const WorkingFolders& folders_;
  InstallSession& session_;
  InstallHost& host_;
  bool walking_ = false;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zentro
