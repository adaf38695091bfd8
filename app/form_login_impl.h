#pragma once
// Private part of FrmLogin shared by its source files (start-up, login flow, deployment
// start, cache refresh). Window thread only.

#include <memory>

#include "app/form_login.h"
#include "installer/install_run.h"
#include "platform/http.h"
#include "remote/data_space.h"

namespace zentro {

class FrmLogin::Impl : public InstallHost {
 public:
  Impl(View& view, ProgramState& state, CallLimits limits);
  ~Impl() override;

  void launchApplication() override;
  void writeUpdateStamps() override;

  View& view;
  ProgramState& state;
  // Time limits of every business-object call (each DataSpace of the run gets them).
  CallLimits limits;
  // One HTTP client for every business-object call, so its connection is kept alive.
  // Made on first use: setting up TLS is slow and the window should show first.
  platform::HttpClient& client();
  std::unique_ptr<platform::HttpClient> http;
  std::unique_ptr<InstallRun> installRun;
  // Set once the launch stage has started the application.
  bool launched = false;
};

}  // namespace zentro
