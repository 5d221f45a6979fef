#pragma once
#include "platform/clock.h"
#include "win32/win32_window_host.h"

namespace tessvar::win32 {

// The real clock whose waits on the window thread keep the windows painting.
class Win32Clock : public Clock {
 public:
  Win32Clock(Clock& base, Win32WindowHost& host) : base_(base), host_(host) {}
  uint64_t MonotonicMs() override { return base_.MonotonicMs(); }
  WallTime UtcNow() override { return base_.UtcNow(); }
  WallTime LocalNow() override { return base_.LocalNow(); }
  void Sleep(uint32_t ms) override;
  void Yield() override;

 private:
  Clock& base_;
  Win32WindowHost& host_;
};

}  // namespace tessvar::win32
