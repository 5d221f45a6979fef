#include "acquisition/clock_sync.h"

#include "acquisition/run_control_impl.h"
#include "acquisition/run_ids.h"
#include "acquisition/run_texts.h"
#include "link/link_result.h"
#include "ui/window_host.h"

namespace tessvar {

namespace {
bool Contains(std::string_view name, std::string_view a, std::string_view b) {
  return name.find(a) != std::string_view::npos || name.find(b) != std::string_view::npos;
}
}  // namespace

std::vector<uint8_t> ClockWriteData(const WallTime& t, bool hasDateRegister) {
  const auto ms = static_cast<uint16_t>(t.second * 1000 + t.millisecond);
  const int weekday = t.dayOfWeek == 0 ? 7 : t.dayOfWeek;  // 1 Monday .. 7 Sunday
  const auto dayMonth = static_cast<uint8_t>(weekday * 32 + t.month);
  const auto year = static_cast<uint8_t>(t.year - 2000);
  std::vector<uint8_t> d = {0, static_cast<uint8_t>(hasDateRegister ? 4 : 3),
                            static_cast<uint8_t>(hasDateRegister ? 8 : 7),
                            static_cast<uint8_t>(ms >> 8), static_cast<uint8_t>(ms & 0xFF),
                            static_cast<uint8_t>(t.hour), static_cast<uint8_t>(t.minute)};
  if (hasDateRegister) {
    d.insert(d.end(), {static_cast<uint8_t>(t.day), dayMonth, 0, year});
  } else {
    d.insert(d.end(), {year, static_cast<uint8_t>(t.day), dayMonth});
  }
  return d;
}

void CRunControl::Impl::OnClockSync() {
  const DescriptionEntry* tms = nullptr;
  bool hasDate = false;
  for (const auto& e : ctx.description.entries) {
    if (!tms && Contains(e.name, "Время (tms)", "Time (tms)")) tms = &e;
    if (Contains(e.name, "Время (tmd)", "Time (tmd)")) hasDate = true;
  }
  if (!tms) {
    ctx.host.MessageBox(run_texts::kNoClock, run_texts::kError);
    return;
  }
  // Let the reply to the last poll request arrive before the write.
  ctx.host.KillTimer(ctx.dialog, kPollTimer);
  ctx.clock.Sleep(ctx.pollPeriodMs);

  LinkEngine* link = Engine();
  if (link == nullptr) {
    ctx.host.MessageBox(run_texts::kIecNotAvailable, run_texts::kError);
    return;
  }
  const ClockTarget target{.startRegister = static_cast<uint16_t>(ParseHexText(tms->address)),
                           .hasDateRegister = hasDate};
  const ClockWriteOutcome outcome = link->WriteClock(target);
  using Then = ClockWriteOutcome::Then;
  if (outcome.then == Then::kStopAndRestart) OnStop();
  if (!outcome.message.empty()) ctx.host.MessageBox(outcome.message, run_texts::kError);
  switch (outcome.then) {
    case Then::kRestart:
    case Then::kStopAndRestart:
      OnStart();
      if (file.IsOpen()) newFileNeeded = false;
      break;
    case Then::kResumePolling:
      ArmPollTimer();
      break;
    case Then::kNothing:
      break;
  }
}

}  // namespace tessvar
