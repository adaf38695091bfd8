#include "tests/support/scripted_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <utility>

namespace zentro::testing {
namespace {

// Whether a box with `buttons` can give `answer`.
bool fits(Answer answer, Buttons buttons) {
  if (buttons == Buttons::YesNo) return answer == Answer::Yes || answer == Answer::No;
  return answer == Answer::Ok || (buttons == Buttons::OkCancel && answer == Answer::Cancel);
}

// The name of an enumerator as journal lines write it ("FilerCode", "Install", "YesNo", ...);
// "?" for a value not listed.
template <class E>
const char* pick(E value, std::initializer_list<std::pair<E, const char*>> names) {
  for (const auto& [v, name] : names) {
    if (v == value) return name;
  }
  return "?";
}

const char* nameOf(Panel panel) {
  return pick(panel, {{Panel::Login, "Login"}, {Panel::Versions, "Versions"},
                      {Panel::Install, "Install"}});
}
const char* nameOf(TextBox box) {
  return pick(box, {{TextBox::FilerCode, "FilerCode"}, {TextBox::Login, "Login"},
                    {TextBox::Password, "Password"}});
}
const char* nameOf(Focusable target) {
  return pick(target, {{Focusable::FilerCode, "FilerCode"}, {Focusable::Login, "Login"},
                       {Focusable::Password, "Password"}, {Focusable::Grid, "Grid"}});
}
const char* nameOf(Bar bar) { return pick(bar, {{Bar::Total, "Total"}, {Bar::Current, "Current"}}); }
const char* nameOf(Label label) {
  return pick(label, {{Label::Status, "Status"}, {Label::Message, "Message"},
                      {Label::FrameStatus, "FrameStatus"}, {Label::Bytes, "Bytes"}});
}
const char* nameOf(Buttons buttons) {
  return pick(buttons, {{Buttons::Ok, "Ok"}, {Buttons::OkCancel, "OkCancel"},
                        {Buttons::YesNo, "YesNo"}});
}
const char* nameOf(Icon icon) {
  return pick(icon, {{Icon::None, "None"}, {Icon::Critical, "Critical"},
                     {Icon::Question, "Question"}, {Icon::Exclamation, "Exclamation"},
                     {Icon::Information, "Information"}});
}
const char* nameOf(Answer answer) {
  return pick(answer, {{Answer::Ok, "Ok"}, {Answer::Cancel, "Cancel"}, {Answer::Yes, "Yes"},
                       {Answer::No, "No"}});
}

}  // namespace

void ScriptedView::setCaption(const std::string& text) { set(caption_, text, "caption: " + text); }

void ScriptedView::setPanelVisible(Panel panel, bool visible) {
  set(panels_[panel], visible, std::string(visible ? "show: " : "hide: ") + nameOf(panel));
}

std::string ScriptedView::text(TextBox box) const { return texts_.at(box); }

void ScriptedView::setText(TextBox box, const std::string& text) {
  set(texts_[box], text, std::string("text ") + nameOf(box) + ": " + text);
}

void ScriptedView::setRememberChecked(bool checked) {
  set(rememberChecked_, checked, checked ? "remember: checked" : "remember: unchecked");
}
void ScriptedView::setRememberEnabled(bool enabled) {
  set(rememberEnabled_, enabled, enabled ? "remember: enabled" : "remember: disabled");
}
void ScriptedView::setRefreshEnabled(bool enabled) {
  set(refreshEnabled_, enabled, enabled ? "refresh: enabled" : "refresh: disabled");
}
void ScriptedView::setRefreshVisible(bool visible) {
  set(refreshVisible_, visible, visible ? "refresh: visible" : "refresh: hidden");
}

void ScriptedView::setLabel(Label label, const std::string& text) {
  set(labels_[label], text, std::string("label ") + nameOf(label) + ": " + text);
}

std::string ScriptedView::label(Label label) const { return labels_.at(label); }

void ScriptedView::setBarWidth(Bar bar, double layoutUnits) {
  char units[64];
  std::snprintf(units, sizeof units, "%.10g", layoutUnits);
  set(bars_[bar], layoutUnits, std::string("bar ") + nameOf(bar) + ": " + units);
}

void ScriptedView::setGridRows(const std::vector<std::string>& rows) {
  gridRows_ = rows;
  currentRow_ = -1;
  std::string line = "grid rows:";
  for (std::size_t i = 0; i < rows.size(); ++i) line += (i == 0 ? " " : " | ") + rows[i];
  note(line);
}

void ScriptedView::setCurrentGridRow(int row) {
  currentRow_ = row >= 0 && row < gridRowCount() ? row : -1;
  note("grid row: " + std::to_string(row));
}

void ScriptedView::setFocus(Focusable target) {
  set(focus_, target, std::string("focus: ") + nameOf(target));
}

void ScriptedView::setBusy(bool busy) { set(busy_, busy, busy ? "busy: on" : "busy: off"); }

void ScriptedView::repaint() { note("repaint"); }

void ScriptedView::processEvents() {
  runPosted(false);
  if (timerEnabled_ && !ended()) deliverTick();
}

void ScriptedView::deliverTick() {
  if (!events_) return;
  // Ticks that keep starting nested walks would overflow the stack; report it instead.
  if (tickDepth_ >= kMaxTickDepth) {
    ADD_FAILURE() << "install-timer ticks nest more than " << kMaxTickDepth << " deep";
    timerEnabled_ = false;
    return;
  }
  ++tickDepth_;
  events_->tmrComInstall_Timer();
  --tickDepth_;
}

Answer ScriptedView::messageBox(const std::string& text, Buttons buttons, Icon icon,
                                const std::optional<std::string>& title) {
  note(std::string("msgbox[") + nameOf(buttons) + "," + nameOf(icon) + "," +
       (title ? "'" + *title + "'" : std::string("default")) + "]: " + text);
  Answer answer = buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
  if (!answers_.empty()) {
    Answer scripted = answers_.front();
    answers_.pop_front();
    if (fits(scripted, buttons)) {
      answer = scripted;
    } else {
      ADD_FAILURE() << "scripted answer " << nameOf(scripted) << " does not fit a "
                    << nameOf(buttons) << " box: " << text;
    }
  } else if (buttons == Buttons::YesNo) {
    ADD_FAILURE() << "unexpected question (no answer scripted): " << text;
  }
  boxes_.push_back(MessageBox{text, buttons, icon, title, answer});
  return answer;
}

void ScriptedView::setInstallTimerEnabled(bool enabled) {
  set(timerEnabled_, enabled, enabled ? "timer: on" : "timer: off");
}

void ScriptedView::unload() { queryUnload(UnloadReason::FormCode, "unload", "unload cancelled"); }

bool ScriptedView::queryUnload(UnloadReason reason, const char* line, const char* refusedLine) {
  note(line);
  if (events_ && events_->Form_QueryUnload(reason)) {
    note(refusedLine);
    return true;
  }
  if (events_) events_->Form_Unload();
  unloaded_ = true;
  timerEnabled_ = false;
  note("unloaded");
  return false;
}

void ScriptedView::terminate(int exitCode) {
  terminated_ = true;
  exitCode_ = exitCode;
  timerEnabled_ = false;
  note("terminate: " + std::to_string(exitCode));
}

void ScriptedView::postToUi(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    posted_.push_back(std::move(task));
  }
  postedArrived_.notify_all();
}

void ScriptedView::typeText(TextBox box, const std::string& text) { texts_[box] = text; }
void ScriptedView::clickRemember(bool checked) { rememberChecked_ = checked; }
void ScriptedView::clickGridRow(int row) {
  if (row >= 0 && row < gridRowCount()) currentRow_ = row;
}

bool ScriptedView::closeBox() {
  return queryUnload(UnloadReason::FormControlMenu, "close box", "close refused");
}

void ScriptedView::waitForPosted() { runPosted(true); }

void ScriptedView::runPosted(bool wait) {
  std::deque<std::function<void()>> tasks;
  {
    std::unique_lock<std::mutex> lock(postedMutex_);
    const auto arrived = [&] { return !posted_.empty(); };
    if (wait && !postedArrived_.wait_for(lock, std::chrono::minutes(1), arrived)) {
      ADD_FAILURE() << "nothing was posted to the window within a minute";
      return;
    }
    tasks.swap(posted_);
  }
  for (auto& task : tasks) task();
}

void ScriptedView::runInstallTimer() {
  for (int ticks = 0; ticks < 1000 && timerEnabled_ && !ended() && events_; ++ticks) deliverTick();
}

std::string ScriptedView::journalText() const {
  std::string all;
  for (const auto& line : journal_) all += line + "\n";
  return all;
}

bool ScriptedView::journalHas(const std::string& line) const {
  return std::find(journal_.begin(), journal_.end(), line) != journal_.end();
}

std::vector<std::string> ScriptedView::history(const std::string& prefix) const {
  std::vector<std::string> texts;
  for (const auto& entry : journal_) {
    if (entry.rfind(prefix, 0) == 0) texts.push_back(entry.substr(prefix.size()));
  }
  return texts;
}

std::vector<std::string> ScriptedView::labelHistory(Label label) const {
  return history(std::string("label ") + nameOf(label) + ": ");
}

std::vector<std::string> ScriptedView::barHistory(Bar bar) const {
  return history(std::string("bar ") + nameOf(bar) + ": ");
}

const ScriptedView::MessageBox& ScriptedView::lastMessageBox() const {
  static const MessageBox none{};
  if (boxes_.empty()) {
    ADD_FAILURE() << "no message box was shown";
    return none;
  }
  return boxes_.back();
}

}  // namespace zentro::testing
