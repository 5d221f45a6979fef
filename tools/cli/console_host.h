#pragma once
// The window host of the command-line front end: timers on the computer's clock, message
// boxes on stderr as "caption: text", file dialogs answered from the command line.
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "ui/timer_loop_host.h"

namespace tessvar {

class ConsoleHost : public TimerLoopHost {
 public:
  explicit ConsoleHost(Clock& clock) : TimerLoopHost(clock) {}

  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) override;
  std::optional<std::string> OpenFileDialog(const FileFilter& filter) override;
  std::optional<std::string> SaveFileDialog(const FileFilter& filter,
                                            std::string_view defaultExtension) override;

  std::optional<std::string> openAnswer;  // given once, then cancel
  std::optional<std::string> saveAnswer;
  int messages = 0;
  std::vector<std::string> messageTexts;  // every message box's text, in order

 protected:
  // Waits in short steps so a signal ends the run promptly.
  void Idle(uint32_t ms) override;
};

}  // namespace tessvar
