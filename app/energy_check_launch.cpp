#include <algorithm>

#include "app/energy_check_dlg.h"
#include "app/krellon_dlg.h"
#include "ui/window_host.h"

namespace tessvar {
namespace {
constexpr uint32_t kCheckPollPeriodMs = 200;
}  // namespace

Check_W_C& CKrellonDlg::OnEnergyCheck() {
  run_->OnStop();
  // Windows closed earlier are released now, outside their own handlers.
  std::erase_if(energyChecks_, [](const auto& c) { return c->Closed(); });

  Check_W_C::Source source;
  source.codes = [this] { return run_->CounterCodes(); };
  // Only a transducer time delivered after the check opened can start it.
  source.deviceTime = [this, seen = run_->DataSetsPresented()]() -> std::optional<ConverterTime> {
    if (run_->DataSetsPresented() == seen) return std::nullopt;
    return run_->DeviceTime();
  };
  source.pollPeriodMs = [this] { return settings_.pollPeriodMs; };
  energyChecks_.push_back(std::make_unique<Check_W_C>(host_, clock_, std::move(source)));
  Check_W_C& check = *energyChecks_.back();
  check.OnInitDialog();

  // Top-left corner at the main window's centre, then moved back by half its own size.
  const ScreenRect main = host_.WindowRect(dialog_);
  ShowPage(main.Width() / 2, main.Height() / 2, check.GetDialog());
  const ScreenRect own = host_.WindowRect(check.GetDialog());
  host_.MoveWindow(check.GetDialog(), own.left - own.Width() / 2, own.top - own.Height() / 2);

  settings_.pollPeriodMs = kCheckPollPeriodMs;
  ShowPollPeriod();
  run_->OnStart();
  return check;
}

}  // namespace tessvar
