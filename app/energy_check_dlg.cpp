#include "app/energy_check_dlg.h"

#include "app/energy_check_template.h"
#include "app/main_window_template.h"
#include "platform/clock.h"
#include "ui/window_host.h"

namespace tessvar {
namespace {
constexpr std::string_view kNothingLeft = "00 : 00 : 00";
}  // namespace

Check_W_C::Check_W_C(WindowHost& host, Clock& clock, Source source)
    : host_(host), clock_(clock), source_(std::move(source)), dialog_(EnergyCheckTemplate()) {
  dialog_.SetTitle(kEnergyCheckCaption);
  dialog_.OnTimer([this](int id) { OnTimer(id); });
  // The window has no buttons of its own to end it: every way of closing it ends the check.
  dialog_.OnOk([this] { Close(); });
  dialog_.OnCancel([this] { Close(); });
  dialog_.OnClose([this] { Close(); });
  dialog_.OnClick(1, [this] { Close(); });
  dialog_.OnClick(2, [this] { Close(); });
}

Check_W_C::~Check_W_C() {
  for (int id : {kCheckSampleTimer, kCheckStartTimer, kCheckCountdownTimer})
    host_.KillTimer(dialog_, id);
}

bool Check_W_C::OnInitDialog() {
  for (const CounterFieldIds& f : kCounterFields)
    for (int id : {f.initial, f.final, f.increment}) dialog_.SetText(id, "0");
  host_.SetTimer(dialog_, kCheckStartTimer, kStartDelayMs);
  return true;
}

void Check_W_C::OnTimer(int id) {
  if (closed_) return;
  switch (id) {
    case kCheckStartTimer:
      host_.KillTimer(dialog_, kCheckStartTimer);
      host_.SetTimer(dialog_, kCheckSampleTimer, kSamplePeriodMs);
      break;
    case kCheckSampleTimer:
      OnSampleTick();
      break;
    case kCheckCountdownTimer:
      OnCountdownTick();
      break;
    default:
      break;
  }
}

void Check_W_C::SetIfChanged(int id, const std::string& text) {
  if (dialog_.Text(id) != text) dialog_.SetText(id, text);
}

void Check_W_C::ShowTexts() {
  for (size_t k = 0; k < kCheckedCounters; ++k) {
    SetIfChanged(kCounterFields[k].initial, tracker_.Initial()[k]);
    SetIfChanged(kCounterFields[k].final, tracker_.Final()[k]);
    SetIfChanged(kCounterFields[k].increment, tracker_.Increment()[k]);
  }
  if (tracker_.Started()) {
    SetIfChanged(kStartTimeField, tracker_.StartText());
    SetIfChanged(kEndTimeField, tracker_.EndText());
  }
}

void Check_W_C::OnSampleTick() {
  CheckSample sample;
  if (source_.codes) sample.codes = source_.codes();
  if (source_.deviceTime) sample.time = source_.deviceTime();
  if (source_.pollPeriodMs) sample.pollPeriodMs = source_.pollPeriodMs();
  const auto step = tracker_.OnSample(sample);
  ShowTexts();
  if (step == EnergyCheckTracker::Step::Started) {
    countdownEnd_ = CountdownEndFrom(clock_.LocalNow());
    host_.SetTimer(dialog_, kCheckCountdownTimer, kCountdownPeriodMs);
  } else if (step == EnergyCheckTracker::Step::Finished) {
    Finish();
  }
}

void Check_W_C::OnCountdownTick() {
  const auto left = RemainingText(countdownEnd_, clock_.LocalNow());
  if (!left) {
    host_.KillTimer(dialog_, kCheckCountdownTimer);
    SetIfChanged(kRemainingField, std::string(kNothingLeft));
    return;
  }
  SetIfChanged(kRemainingField, *left);
}

void Check_W_C::Finish() {
  host_.KillTimer(dialog_, kCheckSampleTimer);
  host_.KillTimer(dialog_, kCheckCountdownTimer);
  SetIfChanged(kRemainingField, std::string(kNothingLeft));
  host_.MessageBox(kEnergyCheckDone, kMainWindowCaption);
  if (onFinished) onFinished();
}

void Check_W_C::Close() {
  if (closed_) return;
  closed_ = true;
  for (int id : {kCheckSampleTimer, kCheckStartTimer, kCheckCountdownTimer})
    host_.KillTimer(dialog_, id);
  dialog_.EndDialog(2);
}

}  // namespace tessvar
