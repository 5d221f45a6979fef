#include "ui/wait_gate.h"

#include <utility>

namespace tessvar {

void WaitGate::Defer(std::function<void()> action, bool cancels) {
  kept_.push_back(std::move(action));
  if (cancels) cancelled_ = true;
  if (!settleAsked_ && requestSettle) {
    settleAsked_ = true;
    requestSettle();
  }
}

void WaitGate::Settle() {
  settleAsked_ = false;
  cancelled_ = false;
  while (!kept_.empty()) {
    auto action = std::move(kept_.front());
    kept_.pop_front();
    action();
  }
}

void WaitGate::ArmLongWaitNotice(uint64_t nowMs, uint64_t afterMs, std::function<void()> notice) {
  notice_ = std::move(notice);
  noticeAtMs_ = nowMs + afterMs;
}

void WaitGate::Elapsed(uint64_t nowMs) {
  if (!notice_ || nowMs < noticeAtMs_) return;
  auto notice = std::move(notice_);
  notice_ = nullptr;
  notice();
}

}  // namespace tessvar
