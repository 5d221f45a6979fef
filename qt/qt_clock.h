#pragma once
// The clock of the window thread. Time comes from the computer's clock; a wait keeps the
// window painted (paint, layout and other non-input events run) while the user's input
// waits for the end, and no window timer or posted closure runs inside it, so a poll tick
// that waits for a reply is never entered a second time.
#include "platform/clock.h"
#include "qt/qt_window_host.h"

namespace tessvar::qt {

class QtClock : public Clock {
 public:
  QtClock(Clock& base, QtWindowHost& host) : base_(base), host_(host) {}

  uint64_t MonotonicMs() override { return base_.MonotonicMs(); }
  WallTime UtcNow() override { return base_.UtcNow(); }
  WallTime LocalNow() override { return base_.LocalNow(); }
  // On another thread (the IEC 104 worker) this is the plain blocking wait.
  void Sleep(uint32_t ms) override;
  void Yield() override;

 private:
  static bool OnWindowThread();
  Clock& base_;
  QtWindowHost& host_;
};

}  // namespace tessvar::qt
