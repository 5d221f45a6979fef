#include "acquisition/run_control_impl.h"
#include "acquisition/run_ids.h"
#include "ui/dialog.h"
#include "ui/window_host.h"

namespace tessvar {

void CRunControl::Impl::SetField(int id, const std::string& text) {
  if (ctx.textMember) {
    if (std::string* member = ctx.textMember(id)) *member = text;
  }
  if (ctx.dialog.Has(id)) ctx.dialog.SetText(id, text);
}

void CRunControl::Impl::SetStatus(std::string_view text) {
  if (ctx.dialog.Has(run_ids::kStatusLine)) ctx.dialog.SetText(run_ids::kStatusLine, text);
}

void CRunControl::Impl::ShowFailureCount() {
  SetField(run_ids::kFailureCount, std::to_string(state.m_failureCount));
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
    const PresentedSlot& v = PresentedSlots()[k];
    if (ctx.dialog.Has(v.labelId)) ctx.dialog.SetText(v.labelId, shown[k].caption);
    SetField(v.fieldId, shown[k].value);
  }
  const LinkEngine* link = Engine();
  if (link && link->ConverterTimeFromRegisters()) {
    SetField(run_ids::kConverterTime, ConverterTimeText(raw.time));
  }
  SetField(run_ids::kAsduField, link ? link->AsduFieldText() : std::string(" "));
}

void CRunControl::Impl::OnDisplayMode() {
  Dialog& d = ctx.dialog;
  ctx.collect();
  const bool physical = ctx.settings.displayMode == DisplayMode::PhysicalUnits;
  d.SetText(run_ids::kDisplayMode, physical ? "Физ. ед" : "Код");
  d.SetReadOnly(run_ids::kNominalCurrent1, !physical);
  d.SetReadOnly(run_ids::kNominalCurrent2, !physical);
  d.Enable(run_ids::kNominalVoltage1, physical);
  d.Enable(run_ids::kNominalVoltage2, physical);
  RefreshValues();
  ctx.show();
}

}  // namespace tessvar
