// The window contract, run against each toolkit's window (see window_contract.h).
#include "tests/window/window_contract.h"

#include <chrono>
#include <thread>

namespace zentro::testing {
namespace {

TEST_F(WindowTest, StartsAsDesignedAndKeepsWhatItIsGiven) {
  View& v = window->view();
  EXPECT_EQ(v.label(Label::Message), kDesignMessageText);
  EXPECT_EQ(v.label(Label::Status), "");
  EXPECT_FALSE(v.installTimerEnabled());
  EXPECT_FALSE(v.rememberChecked());
  EXPECT_EQ(v.gridRowCount(), 0);
  EXPECT_EQ(v.currentGridRow(), -1);

  v.setText(TextBox::Login, "M\xC3\xBCller");  // UTF-8
  v.setText(TextBox::Password, " Pa55 ");
  EXPECT_EQ(v.text(TextBox::Login), "M\xC3\xBCller");
  EXPECT_EQ(v.text(TextBox::Password), " Pa55 ");
  v.setRememberChecked(true);
  EXPECT_TRUE(v.rememberChecked());
  v.setRememberChecked(false);
  EXPECT_FALSE(v.rememberChecked());
  // Labels keep markup, ampersands and line breaks as given.
  for (Label label : {Label::Status, Label::FrameStatus, Label::Bytes}) {
    v.setLabel(label, "Invalid <b>R&D</b> Code\rsecond line");
    EXPECT_EQ(v.label(label), "Invalid <b>R&D</b> Code\rsecond line");
  }

  v.setGridRows({"Demo Broker 2026", "Demo Client", "Demo Broker Pilot"});
  EXPECT_EQ(v.gridRowCount(), 3);
  EXPECT_EQ(v.currentGridRow(), -1);
  v.setCurrentGridRow(1);
  EXPECT_EQ(v.currentGridRow(), 1);
  v.setCurrentGridRow(7);
  EXPECT_EQ(v.currentGridRow(), -1);
  v.setCurrentGridRow(2);
  v.setGridRows({"Only"});
  EXPECT_EQ(v.gridRowCount(), 1);
  EXPECT_EQ(v.currentGridRow(), -1) << "new rows, no current one";
}

TEST_F(WindowTest, EnterAndEscPressLoginAndCancelOnlyOnTheLoginPanel) {
  window->pressKey(true);
  window->pressKey(false);
  EXPECT_EQ(events.calls, (Calls{"cmdLogin_Click", "cmdCancel_Click"}));
  events.calls.clear();
  View& v = window->view();
  v.setPanelVisible(Panel::Install, true);
  window->pressKey(true);
  window->pressKey(false);
  v.setPanelVisible(Panel::Install, false);
  v.setPanelVisible(Panel::Versions, true);
  v.setFocus(Focusable::Grid);
  window->pressKey(true);
  window->pressKey(false);
  EXPECT_EQ(events.calls, Calls{});
}

TEST_F(WindowTest, CloseBoxAndUnloadAskTheLogicWhichMayRefuse) {
  View& v = window->view();
  events.refuseUnload = true;
  window->closeBox();
  v.unload();
  EXPECT_EQ(events.calls, (Calls{"Form_QueryUnload 0", "Form_QueryUnload 1"}));
  EXPECT_FALSE(window->ended());
  EXPECT_TRUE(window->visible());

  events.calls.clear();
  events.refuseUnload = false;
  v.setInstallTimerEnabled(true);
  v.unload();
  EXPECT_EQ(events.calls, (Calls{"Form_QueryUnload 1", "Form_Unload"}));
  EXPECT_TRUE(window->ended());
  EXPECT_FALSE(window->visible());
  EXPECT_FALSE(v.installTimerEnabled());
  EXPECT_TRUE(window->loopEnds());
  window->pressKey(true);  // an unloaded window sends no more events
  v.unload();
  EXPECT_EQ(events.calls.size(), 2u);
}

TEST_F(WindowTest, PostedTasksRunOnTheWindowThreadInOrderWhenEventsAreProcessed) {
  std::vector<int> order;
  const std::thread::id windowThread = std::this_thread::get_id();
  bool allOnWindowThread = true;
  std::thread worker([&] {
    for (int i = 1; i <= 3; ++i) {
      window->view().postToUi([&, i] {
        order.push_back(i);
        allOnWindowThread = allOnWindowThread && std::this_thread::get_id() == windowThread;
      });
    }
  });
  worker.join();
  EXPECT_TRUE(order.empty());
  window->view().processEvents();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(allOnWindowThread);
}

TEST_F(WindowTest, TheInstallTimerTicksUntilItsHandlerDisablesIt) {
  View& v = window->view();
  int ticks = 0;
  events.onTick = [&] {
    if (++ticks == 3) v.setInstallTimerEnabled(false);
  };
  v.setInstallTimerEnabled(true);
  EXPECT_TRUE(v.installTimerEnabled());
  // Bounded: a timer that never ticks fails below instead of hanging.
  for (int i = 0; i < 2000 && v.installTimerEnabled(); ++i) {
    v.processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(ticks, 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  v.processEvents();
  EXPECT_EQ(ticks, 3) << "no tick once disabled";
}

}  // namespace
}  // namespace zentro::testing
