// The Win32 window behind the View seam, driven through its messages. Needs a display (the
// test script runs the suite under Xvfb); without one the window cannot exist and the tests
// are skipped.
#include "platform/win32/win32_view.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace zentro::win32 {
namespace {

class Recorder : public FormEvents {
 public:
  void Form_Load() override { calls.push_back("Form_Load"); }
  bool Form_QueryUnload(UnloadReason reason) override {
    calls.push_back("Form_QueryUnload " + std::to_string(static_cast<int>(reason)));
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
  void tmrComInstall_Timer() override { calls.push_back("tmrComInstall_Timer"); }

  std::vector<std::string> calls;
  bool refuseUnload = true;
};

class Win32ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!view_.windowHandle()) GTEST_SKIP() << "no display for a window";
    view_.attach(events_);
  }
  void press(int id) {
    SendMessageW(view_.windowHandle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  }

  Win32View view_{GetModuleHandleW(nullptr)};
  Recorder events_;
};

TEST_F(Win32ViewTest, ControlsKeepWhatTheyAreGiven) {
  const std::string name = "M\xC3\xBCller";  // UTF-8
  view_.setText(TextBox::Login, name);
  view_.setText(TextBox::Password, "Secret-1");
  EXPECT_EQ(view_.text(TextBox::Login), name);
  EXPECT_EQ(view_.text(TextBox::Password), "Secret-1");
  EXPECT_FALSE(view_.rememberChecked());
  view_.setRememberChecked(true);
  EXPECT_TRUE(view_.rememberChecked());
  EXPECT_EQ(view_.label(Label::Message), kDesignMessageText);
  view_.setLabel(Label::FrameStatus, "a & b\rc");
  EXPECT_EQ(view_.label(Label::FrameStatus), "a & b\rc");

  EXPECT_EQ(view_.gridRowCount(), 0);
  view_.setGridRows({"Demo Broker 2026", "Demo Client", "Demo Broker Pilot"});
  EXPECT_EQ(view_.gridRowCount(), 3);
  EXPECT_EQ(view_.currentGridRow(), -1);
  view_.setCurrentGridRow(2);
  EXPECT_EQ(view_.currentGridRow(), 2);
  view_.setCurrentGridRow(7);
  EXPECT_EQ(view_.currentGridRow(), -1);
}

// The deployment grid (the one list view of the window).
HWND findGrid(HWND window) {
  HWND found = nullptr;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM out) -> BOOL {
        wchar_t cls[32] = {};
        GetClassNameW(child, cls, 32);
        if (std::wstring(cls) != WC_LISTVIEWW) return TRUE;
        *reinterpret_cast<HWND*>(out) = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

TEST_F(Win32ViewTest, RunTakesTheCurrentRowAlsoWhenTheSelectionWasCleared) {
  view_.setGridRows({"Demo Broker 2026", "Demo Client", "Demo Broker Pilot"});
  view_.setPanelVisible(Panel::Versions, true);
  HWND grid = findGrid(view_.windowHandle());
  ASSERT_NE(grid, nullptr);
  // The user picks the second row (a click focuses and selects it) ...
  ListView_SetItemState(grid, 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  EXPECT_EQ(view_.currentGridRow(), 1);
  // ... then clicks beside the rows or Ctrl+clicks it: the selection goes, the row stays
  // current, and Run (which reads currentGridRow) still starts it.
  ListView_SetItemState(grid, -1, 0, LVIS_SELECTED);
  EXPECT_EQ(view_.currentGridRow(), 1);
  view_.setCurrentGridRow(0);
  EXPECT_EQ(view_.currentGridRow(), 0);
  view_.setGridRows({"Only"});
  EXPECT_EQ(view_.currentGridRow(), -1);
}

TEST_F(Win32ViewTest, TheCloseBoxAsksTheLogicAndCanBeRefused) {
  SendMessageW(view_.windowHandle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(events_.calls, (std::vector<std::string>{"Form_QueryUnload 0"}));
  EXPECT_FALSE(view_.ended());
  events_.refuseUnload = false;
  view_.unload();
  EXPECT_EQ(events_.calls,
            (std::vector<std::string>{"Form_QueryUnload 0", "Form_QueryUnload 1", "Form_Unload"}));
  EXPECT_TRUE(view_.ended());
  press(IDOK);  // an unloaded window sends no more events
  EXPECT_EQ(events_.calls.size(), 3u);
  // The unload asked the thread's message loop to end; the next test's window needs it.
  MSG quit;
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Win32ViewTest, EnterAndEscPressLoginAndCancelOnlyOnTheLoginPanel) {
  press(IDOK);
  press(IDCANCEL);
  EXPECT_EQ(events_.calls, (std::vector<std::string>{"cmdLogin_Click", "cmdCancel_Click"}));
  events_.calls.clear();
  view_.setPanelVisible(Panel::Install, true);
  press(IDOK);
  press(IDCANCEL);
  EXPECT_TRUE(events_.calls.empty());
  view_.setPanelVisible(Panel::Install, false);
  view_.setPanelVisible(Panel::Versions, true);
  press(IDOK);
  EXPECT_TRUE(events_.calls.empty());
}

TEST_F(Win32ViewTest, PostedTasksRunOnTheWindowThreadInOrder) {
  std::vector<int> order;
  const std::thread::id windowThread = std::this_thread::get_id();
  bool allOnWindowThread = true;
  std::thread worker([&] {
    for (int i = 1; i <= 3; ++i) {
      view_.postToUi([&, i] {
        order.push_back(i);
        allOnWindowThread = allOnWindowThread && std::this_thread::get_id() == windowThread;
      });
    }
  });
  worker.join();
  EXPECT_TRUE(order.empty());
  view_.processEvents();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(allOnWindowThread);
}

TEST_F(Win32ViewTest, TheInstallTimerTicksWhileEventsArePumped) {
  EXPECT_FALSE(view_.installTimerEnabled());
  view_.setInstallTimerEnabled(true);
  EXPECT_TRUE(view_.installTimerEnabled());
  for (int i = 0; i < 400 && events_.calls.empty(); ++i) {
    view_.processEvents();
    Sleep(5);
  }
  ASSERT_FALSE(events_.calls.empty());
  EXPECT_EQ(events_.calls.front(), "tmrComInstall_Timer");
  view_.setInstallTimerEnabled(false);
  view_.processEvents();
  events_.calls.clear();
  Sleep(50);
  view_.processEvents();
  EXPECT_TRUE(events_.calls.empty());
}

}  // namespace
}  // namespace zentro::win32
