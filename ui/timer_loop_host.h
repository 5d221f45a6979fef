#pragma once
// A window host without a screen: window timers and posted closures driven by a Clock.
// On a virtual clock a whole run of timer ticks passes in microseconds; on the real clock
// it is the event loop of the command-line front end. Timers fire only from Run*, never
// from inside a handler's Sleep, as window timers do.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "ui/timer_schedule.h"
#include "ui/window_host.h"

namespace tessvar {

class TimerLoopHost : public WindowHost {
 public:
  explicit TimerLoopHost(Clock& clock) : clock_(clock) {}

  void SetTimer(Dialog& owner, int id, uint32_t periodMs) override;
  void KillTimer(Dialog& owner, int id) override;
  void ShowModeless(Dialog& page, Dialog& owner) override;
  ScreenRect WindowRect(Dialog& d) override;
  void MoveWindow(Dialog& d, int left, int top) override;
  void Repaint(Dialog&, bool) override { ++repaints_; }
  void Post(std::function<void()> fn) override;

  // Runs posted closures and due timers until the monotonic clock reaches `deadlineMs`
  // or `stop` returns true (checked after every event).
  void RunUntil(uint64_t deadlineMs, const std::function<bool()>& stop = {});
  void RunFor(uint64_t ms, const std::function<bool()>& stop = {}) {
    RunUntil(clock_.MonotonicMs() + ms, stop);
  }
  // Runs posted closures, those they post included, until none is left; returns how many ran.
  size_t RunPosted();

  bool HasTimer(const Dialog& owner, int id) const;
  uint32_t TimerPeriod(const Dialog& owner, int id) const;
  // Forgets every timer of a dialog that goes away.
  void ForgetDialog(const Dialog& d);
  const std::vector<Dialog*>& ShownPages() const { return pages_; }
  int Repaints() const { return repaints_; }
  Clock& GetClock() { return clock_; }

 protected:
  // Waits for `ms` of the clock (or until something is posted, on a real clock).
  virtual void Idle(uint32_t ms) { clock_.Sleep(ms); }

 private:
  size_t RunQueued(size_t limit);
  size_t Queued();  // closures posted and not yet run

  struct Timer {
    Dialog* owner;
    int id;
    uint32_t period;
    uint64_t due;
  };
  using Key = std::pair<const Dialog*, int>;

  Clock& clock_;
  std::map<Key, Timer> timers_;
  std::optional<std::pair<Key, RunningTick>> running_;  // the tick being delivered
  std::mutex postedMutex_;
  std::deque<std::function<void()>> posted_;
  std::vector<Dialog*> pages_;
  std::map<const Dialog*, ScreenRect> rects_;
  int repaints_ = 0;
};

}  // namespace tessvar
