// "Определение запаздывания": polling pauses, the engine measures the link delay, the
// window shows it and the station is told, and the run starts again.
#include <string>

#include "acquisition/run_control_impl.h"
#include "acquisition/run_texts.h"
#include "ui/window_host.h"

namespace tessvar {

void CRunControl::Impl::OnDelayAcquisition() {
  lastDelayMs.reset();
  LinkEngine* link = Engine();
  // Only a link that can measure its delay takes part; for the others the button does nothing.
  if (link == nullptr || !link->MeasuresDelay()) return;
  // Let the reply to the last poll request arrive first.
  ctx.view.KillTimer(kPollTimer);
  ctx.clock.Sleep(ctx.pollPeriodMs);
  if (ctx.clock.Cancelled()) return;  // "Стоп" during the wait

  const DelayOutcome outcome = link->AcquireDelay();
  using Then = DelayOutcome::Then;
  if (outcome.delayMs) {
    lastDelayMs = outcome.delayMs;
    ctx.view.ShowText(RunText::kDelayField, std::to_string(*outcome.delayMs));
    ctx.view.Repaint();
    link->SendDelay(*outcome.delayMs);
    if (ctx.clock.Cancelled()) return;  // "Стоп" while the station was told: stay stopped
  }
  if (outcome.then == Then::kStopAndRestart) OnStop();
  if (!outcome.message.empty()) ctx.host.MessageBox(outcome.message, run_texts::kError);
  if (outcome.then == Then::kNothing) return;  // polling stays stopped
  OnStart();
  if (file.IsOpen()) newFileNeeded = false;
}

}  // namespace tessvar
