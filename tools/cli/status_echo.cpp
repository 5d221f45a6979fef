#include "tools/cli/status_echo.h"

#include <cstdio>
#include <ostream>

#include "platform/clock.h"

namespace tessvar {

StatusEcho::StatusEcho(Dialog& d, int statusId, Clock& clock, std::ostream& out)
    : d_(d), statusId_(statusId), clock_(clock), out_(out), last_(d.Text(statusId)) {
  d_.AddObserver(this);
}

StatusEcho::~StatusEcho() { d_.RemoveObserver(this); }

void StatusEcho::ControlChanged(int id) {
  if (id != statusId_) return;
  const std::string& text = d_.Text(id);
  if (text == last_) return;
  last_ = text;
  const WallTime t = clock_.LocalNow();
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second,
                t.millisecond);
  out_ << stamp << ' ' << text << std::endl;
}

}  // namespace tessvar
