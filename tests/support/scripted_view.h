#pragma once
// The headless window for end-to-end tests of the window's logic. Implements View by keeping
// the window's state in memory and writing every call that changes the window as one line
// to a journal, for example:
//   caption: VMI Zentro, version 300.1100.0.11    show: Install       hide: Versions
//   text FilerCode: ABC          remember: checked      remember: disabled
//   refresh: enabled             refresh: hidden        label Status: Authenticating, please wait...
//   bar Total: 6375              grid rows: A | B       grid row: 1
//   focus: FilerCode             busy: on               repaint
//   msgbox[Ok,None,'']: text     msgbox[YesNo,Question,default]: text   (default = no title given)
//   timer: on                    unload                 unload cancelled
//   unloaded                     terminate: 3
// Reads (text, label, currentGridRow, ...) and processEvents are not journalled.
//
// Message-box answers come from a script (answerNext). With the script empty an Ok or
// OkCancel box is answered Ok; a YesNo box fails the test, since a question the test did not
// expect is a finding, and is answered No.
//
// Thread contract: everything on the test's thread except postToUi, which any thread may
// call. Posted tasks run in processEvents and waitForPosted.

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/view.h"

namespace zentro::testing {

struct MessageBoxShown {
  std::string text;
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
  std::optional<std::string> title;  // nullopt: none given (the product name shows)
  Answer answer = Answer::Ok;
};

class ScriptedView : public View {
 public:
  using MessageBox = MessageBoxShown;

  // Where the window sends its events (closeBox, unload, runInstallTimer, processEvents).
  void attach(FormEvents& events) { events_ = &events; }

  // --- View ---
  void setCaption(const std::string& text) override;
  void setPanelVisible(Panel panel, bool visible) override;
  std::string text(TextBox box) const override;
  void setText(TextBox box, const std::string& text) override;
  bool rememberChecked() const override { return rememberChecked_; }
  void setRememberChecked(bool checked) override;
  void setRememberEnabled(bool enabled) override;
  void setRefreshEnabled(bool enabled) override;
  void setRefreshVisible(bool visible) override;
  void setLabel(Label label, const std::string& text) override;
  std::string label(Label label) const override;
  void setBarWidth(Bar bar, double layoutUnits) override;
  void setGridRows(const std::vector<std::string>& rows) override;
  void setCurrentGridRow(int row) override;
  int currentGridRow() const override { return currentRow_; }
  int gridRowCount() const override { return int(gridRows_.size()); }
  void setFocus(Focusable target) override;
  void setBusy(bool busy) override;
  void repaint() override;
  // Runs the tasks posted so far; then, as the real window would during a wait, delivers one
  // install-timer tick when the timer is enabled.
  void processEvents() override;
  Answer messageBox(const std::string& text, Buttons buttons, Icon icon,
                    const std::optional<std::string>& title) override;
  void setInstallTimerEnabled(bool enabled) override;
  bool installTimerEnabled() const override { return timerEnabled_; }
  // Form_QueryUnload(FormCode); unless refused, Form_Unload and the window is unloaded.
  void unload() override;
  // Records the end; nothing else runs (no Form_Unload).
  void terminate(int exitCode) override;
  void postToUi(std::function<void()> task) override;

  // --- the user at the window (not journalled as window calls) ---
  void typeText(TextBox box, const std::string& text);
  void clickRemember(bool checked);
  void clickGridRow(int row);  // makes the row current, as a click on the grid does
  // The close box: Form_QueryUnload(FormControlMenu); when not refused, Form_Unload runs and
  // the window is unloaded. Returns true when the close was refused.
  bool closeBox();

  // --- driving the event loop ---
  // Blocks until at least one task has been posted, then runs every posted task. Fails the
  // test (and returns) if nothing arrives within a minute, so a hang shows as a failure.
  void waitForPosted();
  // Delivers install-timer ticks while the timer is enabled and the window has not ended, at
  // most 1000.
  void runInstallTimer();

  // --- script and observations ---
  void answerNext(Answer answer) { answers_.push_back(answer); }
  const std::vector<std::string>& journal() const { return journal_; }
  std::string journalText() const;  // the journal, one line per entry, for failure output
  bool journalHas(const std::string& line) const;
  // Every text the label or bar was given, in order (a bar's widths as its journal lines
  // write them, e.g. "1775.616").
  std::vector<std::string> labelHistory(Label label) const;
  std::vector<std::string> barHistory(Bar bar) const;

  int messageBoxCount() const { return int(boxes_.size()); }
  const MessageBox& lastMessageBox() const;  // fails the test when none was shown

  const std::string& caption() const { return caption_; }
  bool panelVisible(Panel panel) const { return panels_.at(panel); }
  bool rememberEnabled() const { return rememberEnabled_; }
  bool refreshEnabled() const { return refreshEnabled_; }
  bool refreshVisible() const { return refreshVisible_; }
  double barWidth(Bar bar) const { return bars_.at(bar); }
  const std::vector<std::string>& gridRows() const { return gridRows_; }
  std::optional<Focusable> focus() const { return focus_; }
  bool busy() const { return busy_; }
  bool unloaded() const { return unloaded_; }
  bool terminated() const { return terminated_; }
  int exitCode() const { return exitCode_; }
  // Unloaded or terminated: the program would be ending.
  bool ended() const { return unloaded_ || terminated_; }

 private:
  void note(std::string line) { journal_.push_back(std::move(line)); }
  // Runs the tasks posted so far; with `wait`, waits (bounded) for the first one.
  void runPosted(bool wait);
  std::vector<std::string> history(const std::string& prefix) const;
  // Sets `field` to `value` and journals `line`.
  template <class T>
  void set(T& field, const std::type_identity_t<T>& value, std::string line) {
    field = value;
    note(std::move(line));
  }
  // Notes `line`, then Form_QueryUnload(reason); unless refused (noted as `refusedLine`, true),
  // Form_Unload and the window is unloaded.
  bool queryUnload(UnloadReason reason, const char* line, const char* refusedLine);
  void deliverTick();

  static constexpr int kMaxTickDepth = 8;

  FormEvents* events_ = nullptr;
  std::vector<std::string> journal_;
  std::deque<Answer> answers_;
  std::vector<MessageBox> boxes_;

  std::string caption_;
  // The window as designed: only the login panel shows, the install message has its text.
  std::map<Panel, bool> panels_ = {
      {Panel::Login, true}, {Panel::Versions, false}, {Panel::Install, false}};
  std::map<TextBox, std::string> texts_ = {
      {TextBox::FilerCode, ""}, {TextBox::Login, ""}, {TextBox::Password, ""}};
  bool rememberChecked_ = false;
  bool rememberEnabled_ = true;
  bool refreshEnabled_ = true;
  bool refreshVisible_ = true;
  std::map<Label, std::string> labels_ = {{Label::Status, ""},
                                          {Label::Message, kDesignMessageText},
                                          {Label::FrameStatus, ""},
                                          {Label::Bytes, ""}};
  std::map<Bar, double> bars_ = {{Bar::Total, 0.0}, {Bar::Current, 0.0}};
  std::vector<std::string> gridRows_;
  int currentRow_ = -1;
  std::optional<Focusable> focus_;
  bool busy_ = false;
  bool timerEnabled_ = false;
  bool unloaded_ = false;
  bool terminated_ = false;
  int exitCode_ = 0;
  int tickDepth_ = 0;

  std::mutex postedMutex_;
  std::condition_variable postedArrived_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace zentro::testing
