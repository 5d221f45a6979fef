#include "acquisition/run_control_impl.h"
#include "ui/window_host.h"

namespace tessvar {

void CRunControl::Impl::SetStatus(std::string_view text) {
  ctx.view.ShowStatus(text);
}

void CRunControl::Impl::ShowFailureCount() {
  ctx.view.ShowText(RunText::kFailureCount, std::to_string(state.m_failureCount));
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
