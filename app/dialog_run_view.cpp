#include "app/dialog_run_view.h"

#include "app/control_ids.h"
#include "app/main_window_template.h"
#include "ui/dialog.h"
#include "ui/wait_gate.h"
#include "ui/window_host.h"

namespace tessvar {

namespace {

int ControlOf(RunText which) {
  switch (which) {
    case RunText::kFailureCount:
      return idc::kFailureCount;
    case RunText::kConverterTime:
      return idc::kConverterTime;
    case RunText::kComputerTime:
      return idc::kComputerTime;
    case RunText::kAsduField:
      return idc::kAsduField;
    case RunText::kRemainingTime:
      return idc::kRemainingTime;
    case RunText::kDelayField:
      return idc::kDelayField;
  }
  return idc::kStatusLine;
}

}  // namespace

DialogRunView::DialogRunView(Dialog& dialog, WindowHost& host,
                             std::function<std::string*(int controlId)> textMember)
    : dialog_(dialog), host_(host), textMember_(std::move(textMember)) {}

std::optional<int> DialogRunView::ProtocolSelection() const {
  if (!dialog_.Has(idc::kProtocolList)) return std::nullopt;
  return dialog_.Selection(idc::kProtocolList);
}

std::optional<uint32_t> DialogRunView::Ipv4Address() const {
  if (!dialog_.Has(idc::kIpAddress)) return std::nullopt;
  return dialog_.Ipv4(idc::kIpAddress);
}

std::optional<std::string> DialogRunView::ListedPortText() const {
  if (!dialog_.Has(idc::kPortList) || dialog_.Items(idc::kPortList).empty()) return std::nullopt;
  // A port typed into the list counts as listed.
  if (dialog_.Selection(idc::kPortList) < 0 && !dialog_.Text(idc::kPortList).empty())
    return dialog_.Text(idc::kPortList);
  return dialog_.SelectedText(idc::kPortList);
}

void DialogRunView::SetField(int id, const std::string& text) {
  if (textMember_) {
    if (std::string* member = textMember_(id)) *member = text;
  }
  if (dialog_.Has(id)) dialog_.SetText(id, text);
}

void DialogRunView::ShowStatus(std::string_view text) {
  if (dialog_.Has(idc::kStatusLine)) dialog_.SetText(idc::kStatusLine, text);
}

void DialogRunView::ShowText(RunText which, const std::string& text) {
  SetField(ControlOf(which), text);
}

void DialogRunView::ShowQuantity(int slot, const std::string& caption, const std::string& value) {
  const ValueFieldBinding* binding = FindValueField(slot);
  if (binding == nullptr) return;
  if (dialog_.Has(binding->labelId)) dialog_.SetText(binding->labelId, caption);
  SetField(binding->fieldId, value);
}

void DialogRunView::ShowDisplayMode(std::string_view caption) {
  dialog_.SetText(idc::kDisplayMode, caption);
}

void DialogRunView::ClearSaveCheck() {
  if (dialog_.Has(idc::kSave)) dialog_.SetCheck(idc::kSave, false);
}

void DialogRunView::ShowRunning(bool running) {
  dialog_.Enable(idc::kStart, !running);
  dialog_.Enable(idc::kStop, running);
}

void DialogRunView::LockProtocol(bool locked) { dialog_.Enable(idc::kProtocolList, !locked); }

void DialogRunView::LockDevice(bool locked) {
  dialog_.Enable(idc::kDeviceAddress, !locked);
  dialog_.SetReadOnly(idc::kDeviceAddress, locked);
  dialog_.Enable(idc::kGroupList, !locked);
  dialog_.Enable(idc::kIpAddress, !locked);
  dialog_.Enable(idc::kModeGroupPoll, !locked);
  dialog_.Enable(idc::kModeRead102, !locked);
  dialog_.Enable(idc::kModeLinkLevel, !locked);
}

void DialogRunView::LockRunSettings(bool locked, bool recordingTimeEditable) {
  dialog_.SetReadOnly(idc::kPollPeriod, locked);
  dialog_.SetReadOnly(idc::kRecordingTime, locked || !recordingTimeEditable);
  dialog_.Enable(idc::kLimitTime, !locked);
  dialog_.Enable(idc::kSave, !locked);
}

void DialogRunView::LockNominals(bool locked) {
  dialog_.SetReadOnly(idc::kNominalCurrent1, locked);
  dialog_.SetReadOnly(idc::kNominalCurrent2, locked);
  dialog_.Enable(idc::kNominalVoltage1, !locked);
  dialog_.Enable(idc::kNominalVoltage2, !locked);
}

void DialogRunView::SetTimer(int id, uint32_t periodMs) { host_.SetTimer(dialog_, id, periodMs); }
void DialogRunView::KillTimer(int id) { host_.KillTimer(dialog_, id); }
void DialogRunView::Repaint() { host_.Repaint(dialog_, true); }

std::string DialogRunView::StatusText() const {
  return dialog_.Has(idc::kStatusLine) ? dialog_.Text(idc::kStatusLine) : std::string();
}

void DialogRunView::ShowFailureCounter(bool visible) {
  for (int id : {idc::kFailureLabel, idc::kFailureCount})
    if (dialog_.Has(id)) dialog_.Show(id, visible);
}

void DialogRunView::ShowLastFailure(const std::string& text) {
  for (int id : {idc::kStatusLine, idc::kFailureCount, idc::kFailureLabel})
    if (dialog_.Has(id)) dialog_.SetToolTip(id, text);
}

void DialogRunView::SetStopEndsWaits() { dialog_.SetEndsWaits(idc::kStop); }

void DialogRunView::ArmLongWaitNotice(uint64_t nowMs, uint32_t afterMs,
                                      std::function<void()> notice) {
  if (WaitGate* gate = dialog_.Gate()) gate->ArmLongWaitNotice(nowMs, afterMs, std::move(notice));
}

void DialogRunView::DisarmLongWaitNotice() {
  if (WaitGate* gate = dialog_.Gate()) gate->DisarmLongWaitNotice();
}

}  // namespace tessvar
