#pragma once
// tessvar-cli says what the window says: every change of the status line (failure texts
// included) goes to stderr with the computer's time, "12:34:56.789 Запрос данных".
#include <iosfwd>
#include <string>

#include "ui/dialog.h"

namespace tessvar {

class Clock;

class StatusEcho : public DialogObserver {
 public:
  StatusEcho(Dialog& d, int statusId, Clock& clock, std::ostream& out);
  ~StatusEcho() override;
  StatusEcho(const StatusEcho&) = delete;
  StatusEcho& operator=(const StatusEcho&) = delete;

  void ControlChanged(int id) override;
  void DialogChanged() override {}
  void DialogEnded() override {}

 private:
  Dialog& d_;
  int statusId_;
  Clock& clock_;
  std::ostream& out_;
  std::string last_;
};

}  // namespace tessvar
