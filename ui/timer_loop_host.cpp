#include "ui/timer_loop_host.h"

#include <algorithm>
#include <cstdint>

#include "ui/dialog.h"

namespace tessvar {

void TimerLoopHost::SetTimer(Dialog& owner, int id, uint32_t periodMs) {
  if (periodMs == 0) periodMs = 1;
  std::optional<RunningTick> running;
  if (running_ && running_->first == Key{&owner, id}) running = running_->second;
  timers_[{&owner, id}] =
      Timer{&owner, id, periodMs, FirstTickDue(periodMs, clock_.MonotonicMs(), running)};
}

void TimerLoopHost::KillTimer(Dialog& owner, int id) { timers_.erase({&owner, id}); }

bool TimerLoopHost::HasTimer(const Dialog& owner, int id) const {
  return timers_.count({&owner, id}) != 0;
}

uint32_t TimerLoopHost::TimerPeriod(const Dialog& owner, int id) const {
  auto it = timers_.find({&owner, id});
  return it == timers_.end() ? 0 : it->second.period;
}

void TimerLoopHost::ForgetDialog(const Dialog& d) {
  for (auto it = timers_.begin(); it != timers_.end();)
    it = it->first.first == &d ? timers_.erase(it) : std::next(it);
  pages_.erase(std::remove(pages_.begin(), pages_.end(), &d), pages_.end());
  rects_.erase(&d);
}

void TimerLoopHost::ShowModeless(Dialog& page, Dialog&) {
  if (std::find(pages_.begin(), pages_.end(), &page) == pages_.end()) pages_.push_back(&page);
}

ScreenRect TimerLoopHost::WindowRect(Dialog& d) {
  auto it = rects_.find(&d);
  if (it != rects_.end()) return it->second;
  // Without a screen a dialog unit is taken as 2 pixels.
  const auto& t = d.Template();
  return ScreenRect{0, 0, t.width * 2, t.height * 2};
}

void TimerLoopHost::MoveWindow(Dialog& d, int left, int top) {
  ScreenRect r = WindowRect(d);
  rects_[&d] = ScreenRect{left, top, left + r.Width(), top + r.Height()};
}

void TimerLoopHost::Post(std::function<void()> fn) {
  std::lock_guard lock(postedMutex_);
  posted_.push_back(std::move(fn));
}

size_t TimerLoopHost::RunPosted() { return RunQueued(SIZE_MAX); }

size_t TimerLoopHost::Queued() {
  std::lock_guard lock(postedMutex_);
  return posted_.size();
}

size_t TimerLoopHost::RunQueued(size_t limit) {
  size_t ran = 0;
  while (ran < limit) {
    std::function<void()> fn;
    {
      std::lock_guard lock(postedMutex_);
      if (posted_.empty()) return ran;
      fn = std::move(posted_.front());
      posted_.pop_front();
    }
    fn();
    ++ran;
  }
  return ran;
}

void TimerLoopHost::RunUntil(uint64_t deadlineMs, const std::function<bool()>& stop) {
  auto stopped = [&] { return stop && stop(); };
  for (;;) {
    // What was queued before this round; what it posts runs after the timers due meanwhile,
    // so a closure that keeps posting itself (a connection taking turns) cannot starve them.
    if (RunQueued(Queued()) > 0 && stopped()) return;
    const uint64_t now = clock_.MonotonicMs();
    // The earliest due timer; ties go to the lower id, as the window system orders them.
    const Timer* next = nullptr;
    for (const auto& [key, t] : timers_)
      if (!next || t.due < next->due || (t.due == next->due && t.id < next->id)) next = &t;
    if (next && next->due <= now && next->due <= deadlineMs) {
      // A tick missed while a handler blocked is delivered once, not once per period;
      // the ticks after it stay on the timer's grid.
      Timer fired = *next;
      const Key key{fired.owner, fired.id};
      timers_[key].due = NextTickDue(fired.due, fired.period, now);
      const auto outer = running_;
      running_ = std::make_pair(key, RunningTick{fired.due, fired.period});
      fired.owner->FireTimer(fired.id);
      running_ = outer;
      if (stopped()) return;
      continue;
    }
    if (now >= deadlineMs || stopped()) return;
    if (Queued() > 0) continue;
    uint64_t wake = deadlineMs;
    if (next && next->due < wake) wake = next->due;
    Idle(static_cast<uint32_t>(std::min<uint64_t>(wake - now, 0xFFFFFFFFu)));
  }
}

}  // namespace tessvar
