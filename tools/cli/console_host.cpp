#include "tools/cli/console_host.h"

#include <algorithm>
#include <iostream>

namespace tessvar {

void ConsoleHost::MessageBox(std::string_view text, std::string_view caption, MessageIcon) {
  ++messages;
  messageTexts.emplace_back(text);
  std::cerr << caption << ": " << text << std::endl;
}

std::optional<std::string> ConsoleHost::OpenFileDialog(const FileFilter&) {
  auto a = openAnswer;
  openAnswer.reset();
  return a;
}

std::optional<std::string> ConsoleHost::SaveFileDialog(const FileFilter&, std::string_view) {
  return saveAnswer;
}

void ConsoleHost::Idle(uint32_t ms) { GetClock().Sleep(std::min<uint32_t>(ms, 50)); }

}  // namespace tessvar
