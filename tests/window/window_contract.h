#pragma once
// The window contract: what every window behind platform/view.h does, whatever its toolkit.
// window_contract_test.cpp holds the cases; it is compiled into each toolkit's test program,
// which defines makeTestWindow() for its window and keeps only its toolkit's own cases.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/view.h"

namespace zentro::testing {

// Records the events the window sends, one line each ("Form_QueryUnload 1").
class RecordedEvents : public FormEvents {
 public:
  std::vector<std::string> calls;
  bool refuseUnload = false;
  std::function<void()> onTick;

  void Form_Load() override { calls.push_back("Form_Load"); }
  bool Form_QueryUnload(UnloadReason reason) override {
    calls.push_back("Form_QueryUnload " + std::to_string(int(reason)));
    return refuseUnload;
  }
  void Form_Unload() override { calls.push_back("Form_Unload"); }
  void cmdLogin_Click() override { calls.push_back("cmdLogin_Click"); }
  void cmdCancel_Click() override { calls.push_back("cmdCancel_Click"); }
  void cmdRefresh_Click() override { calls.push_back("cmdRefresh_Click"); }
  void cmdRunVersion_Click() override { calls.push_back("cmdRunVersion_Click"); }
  void grdVersions_DblClick(int row) override {
    calls.push_back("grdVersions_DblClick " + std::to_string(row));
  }
  void cmdCancVersion_Click() override { calls.push_back("cmdCancVersion_Click"); }
  void tmrComInstall_Timer() override {
    calls.push_back("tmrComInstall_Timer");
    if (onTick) onTick();
  }
};

using Calls = std::vector<std::string>;

// One toolkit's window, shown, and the user's hand on it.
class TestWindow {
 public:
  virtual ~TestWindow() = default;
  virtual View& view() = 0;
  virtual void attach(FormEvents& events) = 0;
  virtual bool ended() const = 0;
  virtual bool visible() const = 0;
  virtual void pressKey(bool enter) = 0;  // Enter, or Esc, on the window
  virtual void closeBox() = 0;            // the close box in the title bar
  // Whether the window asked its event loop to end; takes that request away.
  virtual bool loopEnds() = 0;
};

// The toolkit's window; nullptr when it cannot exist here (no display).
std::unique_ptr<TestWindow> makeTestWindow();

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!window) GTEST_SKIP() << "no display for a window";
    window->attach(events);
  }
  std::unique_ptr<TestWindow> window = makeTestWindow();
  RecordedEvents events;
};

}  // namespace zentro::testing
