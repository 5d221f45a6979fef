#include <cstdio>

#include "acquisition/run_control_impl.h"
#include "acquisition/run_texts.h"
#include "ui/window_host.h"

namespace tessvar {

void CRunControl::Impl::SetStatus(std::string_view text) {
  ctx.view.ShowStatus(text);
}

void CRunControl::Impl::ShowFailureCount() {
  ctx.view.ShowText(RunText::kFailureCount, std::to_string(state.m_failureCount));
  // The count stands beside "Порт" once there is something to count.
  ctx.view.ShowFailureCounter(state.m_running || state.m_failureCount > 0);
}

void CRunControl::Impl::NoteFailure(std::string_view text) {
  const WallTime t = Now();
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  state.m_lastFailure = std::string(text);
  state.m_lastFailureTime = clock;
  // Readable after the status line has gone back to "Запрос данных".
  const std::string tip = std::string(run_texts::kLastFailure) + clock + " — " + state.m_lastFailure;
  ctx.view.ShowLastFailure(tip);
}

void CRunControl::Impl::RefreshValues() {
  PresentationInput in;
  in.raw = &raw;
  in.physicalUnits = ctx.settings.displayMode == DisplayMode::PhysicalUnits;
  const auto& n = ctx.settings.nominals.channel;
  in.channel1 = {n[0].voltage, n[0].current, kilo1};
  in.channel2 = {n[1].voltage, n[1].current, kilo2};
  shown = Present(in);
  for (int k = 0; k < kPresentedCount; ++k) {
    ctx.view.ShowQuantity(PresentedSlots()[k].slot, shown[k].caption, shown[k].value);
  }
  const LinkEngine* link = Engine();
  if (link && link->ConverterTimeFromRegisters()) {
    ctx.view.ShowText(RunText::kConverterTime, ConverterTimeText(raw.time));
  }
  ctx.view.ShowText(RunText::kAsduField, link ? link->AsduFieldText() : std::string(" "));
}

void CRunControl::Impl::OnDisplayMode() {
  ctx.collect();
  const bool physical = ctx.settings.displayMode == DisplayMode::PhysicalUnits;
  ctx.view.ShowDisplayMode(physical ? "Физ. ед" : "Код");
  ctx.view.LockNominals(!physical);
  RefreshValues();
  ctx.show();
}

}  // namespace tessvar
