#include "acquisition/run_control_impl.h"
#include "acquisition/run_texts.h"

namespace tessvar {

namespace {
constexpr uint32_t kRetryPauseMs = 3000;  // the restart pause of a failed exchange
}

// An automatic restart whose link start-up was refused (an unanswered link status request,
// an interrogation not confirmed) is one more failed exchange: its text goes to the status
// line instead of a message box that would end an unattended run, it counts once, and the
// start is tried again after the restart pause. The user's own "Старт" still stops with the
// message. The retry runs from a timer, so a long outage does not nest restarts.
void CRunControl::Impl::RetryLinkStart(std::string_view failureText) {
  const std::string_view text = failureText.empty() ? run_texts::kError : failureText;
  AwaitRestart(text, text, kRetryPauseMs);
}

void CRunControl::Impl::AwaitRestart(std::string_view statusText, std::string_view failureText,
                                     uint32_t periodMs) {
  state.m_running = true;
  state.m_linkTrouble = true;
  state.m_valuesStale = true;
  SetStatus(statusText);
  NoteFailure(failureText);
  ++state.m_failureCount;
  ShowFailureCount();
  ctx.show();
  ctx.view.Repaint();
  ctx.view.SetTimer(kReconnectTimer, periodMs);
}

}  // namespace tessvar
