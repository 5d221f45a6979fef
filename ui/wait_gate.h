#pragma once
// The waits of the window thread (a connect limit, a reply wait, a restart pause) keep the
// window alive: while one runs, the window paints and takes input, but no handler runs
// inside another. A user action that arrives during a wait is kept here and runs once the
// handler that waited has returned. An action that cancels ("Стоп", the close box) also
// ends the wait at once: every wait returns immediately from then on and the handler
// unwinds without sending anything more, until the kept actions run.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>

namespace tessvar {

class WaitGate {
 public:
  // Marks a wait of the window thread for its lifetime (nesting counts).
  class Scope {
   public:
    explicit Scope(WaitGate& g) : g_(g) { ++g_.depth_; }
    ~Scope() { --g_.depth_; }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    WaitGate& g_;
  };

  bool Waiting() const { return depth_ > 0; }
  // Read by waits on any thread.
  bool Cancelled() const { return cancelled_.load(); }

  // Keeps a user action for after the handler; `cancels` ends the running waits.
  void Defer(std::function<void()> action, bool cancels);
  // Asked for once a kept action is waiting: the host runs Settle() when the handler has
  // returned (a posted closure does: hosts never run those inside a handler or a wait).
  std::function<void()> requestSettle;
  // Ends the cancellation and runs the kept actions in the order they came.
  void Settle();
  size_t Kept() const { return kept_.size(); }

  // A notice for a wait that lasts: `notice` runs once when a wait is still going on
  // `afterMs` after Arm (as the clock's waits see it, through Elapsed).
  void ArmLongWaitNotice(uint64_t nowMs, uint64_t afterMs, std::function<void()> notice);
  void DisarmLongWaitNotice() { notice_ = nullptr; }
  // Called by a waiting clock between its slices.
  void Elapsed(uint64_t nowMs);

 private:
  int depth_ = 0;
  std::atomic<bool> cancelled_{false};
  bool settleAsked_ = false;
  std::deque<std::function<void()>> kept_;
  std::function<void()> notice_;
  uint64_t noticeAtMs_ = 0;
};

}  // namespace tessvar
