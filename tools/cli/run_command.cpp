#include "tools/cli/run_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <iostream>

#include "acquisition/run_control.h"
#include "app/control_ids.h"
#include "app/krellon_dlg.h"
#include "tools/cli/console_host.h"

namespace tessvar {
namespace {

constexpr std::string_view kClockSyncUnjudged =
    "the run ended before the clock synchronisation was confirmed";
constexpr std::string_view kDelayNotMeasured = "no delay measured (the delay acquisition needs МЭК-101)";

}  // namespace

void AddRunCommandOptions(CLI::App& app, RunCommandKind& kind) {
  auto* clock = app.add_flag_callback("--clock-sync", [&kind] { kind = RunCommandKind::kClockSync; },
                                      "press \"Синхронизация RTC\" once the first data set has been "
                                      "presented, then go on polling; prints the outcome");
  auto* delay = app.add_flag_callback("--delay", [&kind] { kind = RunCommandKind::kDelay; },
                                      "press \"Определение запаздывания\" (МЭК-101) once the first "
                                      "data set has been presented, then go on polling; prints the delay");
  clock->excludes(delay);
}

std::string ClockSyncLine(const std::optional<std::string>& failure, bool json) {
  const std::string result = failure ? *failure : "ok";
  if (!json) return "clock_sync: " + result;
  return nlohmann::ordered_json{{"clock_sync", result}}.dump();
}

std::string DelayLine(std::optional<uint16_t> delayMs, const std::string& message, bool json) {
  if (!json) return delayMs ? "delay_ms: " + std::to_string(*delayMs) : "delay_ms: none; " + message;
  if (delayMs) return nlohmann::ordered_json{{"delay_ms", *delayMs}}.dump();
  return nlohmann::ordered_json{{"delay_ms", nullptr}, {"message", message}}.dump();
}

RunCommand::RunCommand(RunCommandKind kind, bool json, CKrellonDlg& window, ConsoleHost& host)
    : kind_(kind), json_(json), window_(window), host_(host) {}

std::optional<std::string> RunCommand::NewMessage() const {
  if (host_.messageTexts.size() <= messagesBefore_) return std::nullopt;
  return host_.messageTexts[messagesBefore_];
}

void RunCommand::Print(bool ok, const std::string& line) {
  if (printed_) return;
  printed_ = true;
  ok_ = ok;
  std::cout << line << std::endl;
  // A failure that leaves polling stopped ends the run (no poll timer, no thread of its own).
  const bool pollingStopped = !host_.HasTimer(window_.GetDialog(), kPollTimer) &&
                              window_.Settings().protocol != ProtocolKind::Iec104;
  endsRun_ = !ok && pollingStopped;
}

void RunCommand::Press(uint64_t presented) {
  pressedAt_ = presented;
  messagesBefore_ = host_.messageTexts.size();
  confirmedBefore_ = window_.RunControl().ClockSyncsConfirmed();
  Dialog& d = window_.GetDialog();
  if (kind_ == RunCommandKind::kClockSync) {
    d.UserClick(idc::kClockSync);
    // Every protocol but МЭК-104 has its outcome when the command returns.
    const auto failure = NewMessage();
    if (failure || window_.Settings().protocol != ProtocolKind::Iec104) {
      Print(!failure, ClockSyncLine(failure, json_));
    }
    return;
  }
  // The button is enabled only for МЭК-101; pressing a disabled one does nothing.
  d.UserClick(idc::kDelayButton);
  const auto delay = window_.RunControl().LastDelayMs();
  const std::string message = NewMessage().value_or(std::string(kDelayNotMeasured));
  Print(delay.has_value(), DelayLine(delay, message, json_));
}

void RunCommand::AfterDataSets(uint64_t presented) {
  if (kind_ == RunCommandKind::kNone || printed_) return;
  if (!pressedAt_) {
    if (presented >= 1) Press(presented);
    return;
  }
  if (kind_ == RunCommandKind::kClockSync) {
    if (const auto failure = NewMessage()) Print(false, ClockSyncLine(failure, json_));
    // Over МЭК-104 the connection thread writes the clock at its next pass and the station
    // confirms it, or refuses it with a message.
    else if (window_.RunControl().ClockSyncsConfirmed() > confirmedBefore_) Print(true, ClockSyncLine(std::nullopt, json_));
  }
}

bool RunCommand::Finish() {
  if (kind_ == RunCommandKind::kNone) return true;
  if (!pressedAt_) {
    const std::string never = "the run presented no data set";
    Print(false, kind_ == RunCommandKind::kClockSync ? ClockSyncLine(never, json_)
                                                     : DelayLine(std::nullopt, never, json_));
  } else if (!printed_) {
    Print(false, ClockSyncLine(NewMessage().value_or(std::string(kClockSyncUnjudged)), json_));
  }
  return ok_;
}

}  // namespace tessvar
