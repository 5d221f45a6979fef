#include "win32/win32_clock.h"

namespace tessvar::win32 {

namespace {

// Paint, sent and posted messages (timers included) are handled during a wait; input waits
// in the queue until the wait is over.
constexpr UINT kNonInput = QS_PAINT | QS_POSTMESSAGE | QS_SENDMESSAGE | QS_TIMER;

void HandleNonInput(Win32WindowHost& host) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
      return;
    }
    host.Dispatch(msg);
  }
}

}  // namespace

void Win32Clock::Sleep(uint32_t ms) {
  if (!host_.OnWindowThread()) {
    base_.Sleep(ms);
    return;
  }
  host_.EnterWait();
  const uint64_t end = base_.MonotonicMs() + ms;
  for (uint64_t now = base_.MonotonicMs(); now < end; now = base_.MonotonicMs()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), kNonInput);
    HandleNonInput(host_);
  }
  host_.LeaveWait();
}

void Win32Clock::Yield() {
  if (!host_.OnWindowThread()) return;
  host_.EnterWait();
  HandleNonInput(host_);
  host_.LeaveWait();
}

}  // namespace tessvar::win32
