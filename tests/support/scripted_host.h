#pragma once
// The window host of the tests: a virtual clock drives the timers, message boxes are
// recorded, file dialogs are answered from a queue (an empty queue answers "cancel").
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/virtual_clock.h"
#include "ui/timer_loop_host.h"

namespace tessvar::test {

struct RecordedMessage {
  std::string text;
  std::string caption;
  MessageIcon icon;
};

struct RecordedFileDialog {
  bool save;
  FileFilter filter;
  std::string defaultExtension;
};

class ScriptedHost : public TimerLoopHost {
 public:
  explicit ScriptedHost(VirtualClock& clock) : TimerLoopHost(clock), clock_(clock) {}

  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) override {
    messages.push_back({std::string(text), std::string(caption), icon});
  }
  bool AskYesNo(std::string_view text, std::string_view caption) override {
    questions.push_back({std::string(text), std::string(caption), MessageIcon::None});
    if (yesNoAnswers.empty()) return true;
    const bool yes = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return yes;
  }
  std::optional<std::string> OpenFileDialog(const FileFilter& filter) override {
    fileDialogs.push_back({false, filter, {}});
    return Answer();
  }
  std::optional<std::string> SaveFileDialog(const FileFilter& filter,
                                            std::string_view ext) override {
    fileDialogs.push_back({true, filter, std::string(ext)});
    return Answer();
  }

  VirtualClock& Clock() { return clock_; }
  std::string LastMessageText() const { return messages.empty() ? "" : messages.back().text; }

  std::vector<RecordedMessage> messages;
  std::vector<RecordedFileDialog> fileDialogs;
  std::deque<std::optional<std::string>> fileAnswers;
  std::vector<RecordedMessage> questions;  // asked with "Да"/"Нет"
  std::deque<bool> yesNoAnswers;           // empty: "Да"

 private:
  std::optional<std::string> Answer() {
    if (fileAnswers.empty()) return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
  }
  VirtualClock& clock_;
};

}  // namespace tessvar::test
