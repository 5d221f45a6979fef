#include "acquisition/run_control_impl.h"
#include "acquisition/run_ids.h"
#include "acquisition/run_texts.h"
#include "platform/clock.h"
#include "ui/dialog.h"
#include "ui/window_host.h"

namespace tessvar {

namespace {
constexpr uint32_t kRecordTimerPeriodMs = 500;
}

void CRunControl::Impl::ChooseRecordFile() {
  const auto chosen = ctx.host.SaveFileDialog(FileFilter{"*.txt", "*.txt"}, "");
  if (chosen) {
    recordPath = RecordPathFromChoice(*chosen);
  } else {
    ctx.save = false;
    if (ctx.dialog.Has(run_ids::kSave)) ctx.dialog.SetCheck(run_ids::kSave, false);
  }
}

bool CRunControl::Impl::StartRecordPeriod(bool userStart) {
  if (userStart) SetField(run_ids::kRemainingTime, ctx.recordingTime);
  const auto seconds = ParseRecordingTime(ctx.recordingTime);
  if (!seconds) return false;
  // The period runs from the user's start; automatic restarts keep its end.
  if (userStart || !deadlineMs) deadlineMs = ctx.clock.MonotonicMs() + uint64_t{*seconds} * 1000;
  ctx.host.SetTimer(ctx.dialog, kRecordTimer, kRecordTimerPeriodMs);
  return true;
}

void CRunControl::Impl::OnRecordTimerTick() {
  if (!deadlineMs) return;
  const uint64_t now = ctx.clock.MonotonicMs();
  if (now >= *deadlineMs) {
    OnStop();
    SetField(run_ids::kRemainingTime, std::string(run_texts::kZeroRemaining));
    ctx.show();
    return;
  }
  SetField(run_ids::kRemainingTime, RemainingText(*deadlineMs - now));
}

std::vector<RecordColumn> CRunControl::Impl::Columns() const {
  std::vector<RecordColumn> columns;
  for (int k = 0; k < kPresentedCount; ++k) {
    const int slot = PresentedSlots()[k].slot;
    if (ctx.marks.Available(slot)) columns.push_back({slot, shown[k].caption, shown[k].value});
  }
  return columns;
}

void CRunControl::Impl::RecordFailure(std::string_view text) {
  // Cleared before the box: the box lets timers run, and no later tick may try again.
  newFileNeeded = false;
  recordingAllowed = false;
  file.Close();
  ctx.host.MessageBox(text, run_texts::kAlas, MessageIcon::Exclamation);
}

void CRunControl::Impl::OpenRecordFile() {
  const WallTime t = Now();
  fileDay = t.day;
  if (!file.Create(recordPath)) {
    RecordFailure(std::string(run_texts::kCannotCreateFile) + recordPath);
    return;
  }
  if (!file.Write(RecordHeader(t, Columns()))) {
    RecordFailure(std::string(run_texts::kWriteFailed) + recordPath);
  }
}

void CRunControl::Impl::WriteRecordLine() {
  const WallTime t = Now();
  if (t.day != fileDay) {
    // A new day goes to a new file; the data set that noticed it is its first line.
    fileDay = t.day;
    file.Close();
    const std::string path = RotatedRecordPath(recordPath, t);
    if (!file.Create(path)) {
      RecordFailure(std::string(run_texts::kCannotCreateFile) + path);
      return;
    }
    if (!file.Write(RecordHeader(t, Columns()))) {
      RecordFailure(std::string(run_texts::kWriteFailed) + path);
      return;
    }
  }
  std::string timeCell;
  bool converterClock = false;
  for (const auto& e : entries) {
    if (IsTmsColumn(e.name)) converterClock = true;
  }
  // Values that came without a time tag are stamped with the computer's time.
  const LinkEngine* link = Engine();
  if (converterClock && ctx.description.protocolCode == kProtocolCodeIec101 && link &&
      link->ValuesCameUntimed()) {
    converterClock = false;
  }
  timeCell = converterClock
                 ? ConverterTimeCell(raw.time.hour, raw.time.minute, raw.time.milliseconds)
                 : ComputerTimeCell(t);
  const bool physical = ctx.settings.displayMode == DisplayMode::PhysicalUnits;
  if (!file.Write(RecordLine(timeCell, Columns(), physical))) {
    RecordFailure(std::string(run_texts::kWriteFailed) + file.Path());
  }
}

}  // namespace tessvar
