// The Win32 window: the window contract (tests/window) and its grid's own selection rules,
// driven through its messages. Needs a display (the test script runs the suite under Xvfb);
// without one the window cannot exist and the tests are skipped.
#include "platform/win32/win32_view.h"

#include <commctrl.h>

#include "tests/window/window_contract.h"

namespace zentro::testing {

namespace {

class Win32TestWindow : public TestWindow {
 public:
  View& view() override { return win; }
  void attach(FormEvents& events) override { win.attach(events); }
  bool ended() const override { return win.ended(); }
  bool visible() const override { return IsWindowVisible(win.windowHandle()); }
  void pressKey(bool enter) override {
    SendMessageW(win.windowHandle(), WM_COMMAND, MAKEWPARAM(enter ? IDOK : IDCANCEL, BN_CLICKED), 0);
  }
  void closeBox() override { SendMessageW(win.windowHandle(), WM_CLOSE, 0, 0); }
  bool loopEnds() override {
    MSG quit;
    return PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
  win32::Win32View win{GetModuleHandleW(nullptr)};
};

}  // namespace

std::unique_ptr<TestWindow> makeTestWindow() {
  auto window = std::make_unique<Win32TestWindow>();
  if (!window->win.windowHandle()) return nullptr;
  ShowWindow(window->win.windowHandle(), SW_SHOWNORMAL);
  return window;
}

namespace {

TEST_F(WindowTest, Win32RunTakesTheCurrentRowAlsoWhenTheSelectionWasCleared) {
  View& v = window->view();
  v.setGridRows({"Demo Broker 2026", "Demo Client", "Demo Broker Pilot"});
  v.setPanelVisible(Panel::Versions, true);
  // The window's one list view, inside one of the panels that fill the window.
  const HWND top = static_cast<Win32TestWindow&>(*window).win.windowHandle();
  HWND grid = nullptr;
  for (HWND panel = nullptr; !grid && (panel = FindWindowExW(top, panel, nullptr, nullptr));) {
    grid = FindWindowExW(panel, nullptr, WC_LISTVIEWW, nullptr);
  }
  ASSERT_NE(grid, nullptr);
  // The user picks the second row (a click focuses and selects it) ...
  ListView_SetItemState(grid, 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  EXPECT_EQ(v.currentGridRow(), 1);
  // ... then clicks beside the rows or Ctrl+clicks it: the selection goes, the row stays
  // current, and Run (which reads currentGridRow) still starts it.
  ListView_SetItemState(grid, -1, 0, LVIS_SELECTED);
  EXPECT_EQ(v.currentGridRow(), 1);
  v.setCurrentGridRow(0);
  EXPECT_EQ(v.currentGridRow(), 0);
}

}  // namespace
}  // namespace zentro::testing
