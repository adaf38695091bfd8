#pragma once
// A headless window for the benchmarks: keeps the window's state in memory about as cheaply as
// real widgets keep theirs, and runs posted tasks in processEvents. Unlike the tests' scripted
// window it journals nothing, so a long run measures the launcher and not the recording.
// Message boxes are answered Ok (No for a question) and counted.
//
// Thread contract: everything on the benchmark's thread except postToUi (any thread).

#include <array>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/view.h"

namespace zentro::bench {

class BenchView final : public View {
 public:
  void setCaption(const std::string& text) override { caption_ = text; }
  void setPanelVisible(Panel, bool) override {}
  std::string text(TextBox) const override { return {}; }
  void setText(TextBox, const std::string&) override {}
  bool rememberChecked() const override { return false; }
  void setRememberChecked(bool) override {}
  void setRememberEnabled(bool) override {}
  void setRefreshEnabled(bool) override {}
  void setRefreshVisible(bool) override {}
  void setLabel(Label label, const std::string& text) override {
    labels_[static_cast<std::size_t>(label)] = text;
    ++labelSets_[static_cast<std::size_t>(label)];
    if (label == Label::Bytes && !firstBytes_) firstBytes_ = std::chrono::steady_clock::now();
  }
  std::string label(Label label) const override { return labels_[static_cast<std::size_t>(label)]; }
  void setBarWidth(Bar bar, double layoutUnits) override {
    bars_[static_cast<std::size_t>(bar)] = layoutUnits;
  }
  void setGridRows(const std::vector<std::string>&) override {}
  void setCurrentGridRow(int) override {}
  int currentGridRow() const override { return -1; }
  int gridRowCount() const override { return 0; }
  void setFocus(Focusable) override {}
  void setBusy(bool) override {}
  void repaint() override {}
  void processEvents() override {
    std::unique_lock lock(mutex_);
    if (posted_.empty()) return;
    std::deque<std::function<void()>> tasks;
    tasks.swap(posted_);
    lock.unlock();
    for (auto& task : tasks) task();
  }
  Answer messageBox(const std::string& text, Buttons buttons, Icon,
                    const std::optional<std::string>&) override {
    ++messageBoxes_;
    lastMessage_ = text;
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
  }
  void setInstallTimerEnabled(bool enabled) override { timer_ = enabled; }
  bool installTimerEnabled() const override { return timer_; }
  void unload() override {
    unloaded_ = true;
    unloadedAt_ = std::chrono::steady_clock::now();
  }
  void terminate(int) override { unloaded_ = true; }
  void postToUi(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
  }

  int messageBoxes() const { return messageBoxes_; }
  const std::string& lastMessage() const { return lastMessage_; }
  bool unloaded() const { return unloaded_; }
  // How often a label was set.
  long labelSets(Label label) const { return labelSets_[static_cast<std::size_t>(label)]; }
  // When lblBytes was first set (the save of a download has begun) and the window unloaded.
  std::optional<std::chrono::steady_clock::time_point> firstBytesLabel() const {
    return firstBytes_;
  }
  std::chrono::steady_clock::time_point unloadedAt() const { return unloadedAt_; }

 private:
  std::string caption_;
  std::array<std::string, 4> labels_;
  std::array<long, 4> labelSets_{};
  std::array<double, 2> bars_{};
  bool timer_ = false;
  bool unloaded_ = false;
  int messageBoxes_ = 0;
  std::string lastMessage_;
  std::optional<std::chrono::steady_clock::time_point> firstBytes_;
  std::chrono::steady_clock::time_point unloadedAt_{};
  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace zentro::bench
