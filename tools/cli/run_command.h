#pragma once
// The clock commands tessvar-cli presses during a run: --clock-sync ("Синхронизация RTC")
// and --delay ("Определение запаздывания") are pressed once, after the first data set has
// been presented; polling goes on and one outcome line is printed (with --json one object).
#include <cstdint>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace tessvar {

class CKrellonDlg;
class ConsoleHost;

enum class RunCommandKind : uint8_t { kNone, kClockSync, kDelay };

void AddRunCommandOptions(CLI::App& app, RunCommandKind& kind);

// The outcome lines.
std::string ClockSyncLine(const std::optional<std::string>& failure, bool json);
std::string DelayLine(std::optional<uint16_t> delayMs, const std::string& message, bool json);

class RunCommand {
 public:
  RunCommand(RunCommandKind kind, bool json, CKrellonDlg& window, ConsoleHost& host);

  // After every presented data set: presses the button after the first one, and judges the
  // outcome when it is known.
  void AfterDataSets(uint64_t presented);
  // The button is due to be pressed (the run loop then hands control back at once).
  bool PressDue(uint64_t presented) const {
    return kind_ != RunCommandKind::kNone && !pressedAt_ && presented >= 1;
  }
  // True when the command failed in a way that leaves polling stopped: the run ends.
  bool EndsRun() const { return endsRun_; }
  // At the end of the run: prints the line if it was not printed yet; true on success.
  bool Finish();

 private:
  void Press(uint64_t presented);
  void Print(bool ok, const std::string& line);
  std::optional<std::string> NewMessage() const;

  RunCommandKind kind_;
  bool json_;
  CKrellonDlg& window_;
  ConsoleHost& host_;
  std::optional<uint64_t> pressedAt_;
  size_t messagesBefore_ = 0;
  uint32_t confirmedBefore_ = 0;
  bool printed_ = false;
  bool ok_ = false;
  bool endsRun_ = false;
};

}  // namespace tessvar
