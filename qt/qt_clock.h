#pragma once
// The clock of the window thread. Time comes from the computer's clock; a wait keeps the
// window alive: it paints and takes input, but what the user does reaches the handlers only
// after the handler that waits has returned (the host's WaitGate keeps it), and no window
// timer or posted closure runs inside a wait, so a poll tick that waits for a reply is never
// entered a second time. "Стоп" or the close box end the wait at once (Cancelled).
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
  bool Cancelled() override { return host_.Gate().Cancelled(); }

 private:
  static constexpr uint32_t kSliceMs = 20;
  static bool OnWindowThread();
  Clock& base_;
  QtWindowHost& host_;
};

}  // namespace tessvar::qt
